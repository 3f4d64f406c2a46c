#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_panel_window.h"
#include "qt_application.h"

using namespace wattline;

namespace {

struct KeyRecorder : QWidget {
  void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
  std::vector<int> keys;
};

}  // namespace

TEST(QtPanelWindow, AFramelessToolWindowThatPlacesUpwardsAndHostsItsContent) {
  testApplication();
  QtPanelWindow panel;
  QWidget& widget = panel.widget();
  for (auto flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint})
    EXPECT_TRUE(widget.windowFlags() & flag);
  EXPECT_EQ(widget.windowType(), Qt::Tool);  // no taskbar entry
  EXPECT_EQ(widget.windowTitle(), QStringLiteral("瓦迹"));
  EXPECT_EQ(panel.identifier(), "WattlinePanel-v3");
  EXPECT_FALSE(compositorRunning());  // offscreen: the corners are cut by a mask

  auto* content = new QWidget;
  panel.setContent(content);
  const double height = primaryScreenHeight();
  const Rect frame{100, height - 40 - 380, 420, 380};  // 40 points below the top of the primary screen
  panel.setFrame(frame);
  panel.layoutContent();
  EXPECT_EQ(panel.frame(), frame);
  EXPECT_EQ(widget.geometry(), QRect(100, 40, 420, 380));
  PanelLayout layout = panel.layout();
  EXPECT_EQ(layout.hostingFrame, layout.containerBounds);
  EXPECT_EQ(layout.containerBounds, (Rect{0, 0, 420, 380}));
  EXPECT_EQ(panel.screen(), screenInfo(*QGuiApplication::primaryScreen()).id);

  int keys = 0, resigned = 0;
  auto subscription = panel.observe({nullptr, nullptr, [&] { ++keys; }, [&] { ++resigned; }, nullptr});
  panel.makeKeyAndOrderFront();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
  EXPECT_TRUE(panel.isVisible() && panel.isKey());
  EXPECT_EQ(keys, 1);
  EXPECT_FALSE(widget.mask().contains(QPoint(1, 1)));  // a rounded corner
  EXPECT_TRUE(widget.mask().contains(QPoint(210, 1)));
  panel.orderOut();
  EXPECT_FALSE(panel.isVisible());
}

TEST(QtDesktop, EscapeIsConsumedOrPassedOnAndKeyWindowsAreReported) {
  testApplication();
  QtDesktop desktop;
  bool consume = false;
  int escapes = 0;
  std::vector<KeyWindow> keyWindows;
  DesktopHandlers handlers;
  handlers.escapeKey = [&] { return ++escapes, consume; };
  handlers.windowBecameKey = [&](const KeyWindow& window) { keyWindows.push_back(window); };
  for (auto* slot : {&handlers.outsideMouseDown, &handlers.becameActive, &handlers.resignedActive,
                     &handlers.hidden, &handlers.willTerminate, &handlers.screensChanged})
    *slot = [] {};
  auto subscription = desktop.observe(handlers);

  KeyRecorder window;
  window.setWindowTitle("设置");
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_FALSE(keyWindows.empty());
  EXPECT_EQ(keyWindows.back().id, windowId(&window));
  EXPECT_TRUE(keyWindows.back().titled && keyWindows.back().visible);
  EXPECT_EQ(keyWindows.back().title, "设置");
  EXPECT_TRUE(desktop.isActive());

  auto pressEscape = [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &press);
  };
  pressEscape();
  consume = true;
  pressEscape();
  EXPECT_EQ(escapes, 2);  // seen once each, at the window
  EXPECT_EQ(window.keys, std::vector<int>{Qt::Key_Escape});

  auto screens = desktop.screens();
  ASSERT_FALSE(screens.empty());
  EXPECT_EQ(desktop.mainScreen()->id, screens.front().id);
  EXPECT_EQ(desktop.screens().front().id, screens.front().id);
  EXPECT_GT(screens.front().frame.width, 0);
}
