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

// Placing, hosting, taking the keyboard and hiding on a real display: the tray session test.
TEST(QtPanelWindow, AFramelessToolWindowWithRoundedCorners) {
  testApplication();
  QtPanelWindow panel;
  QWidget& widget = panel.widget();
  for (auto flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint})
    EXPECT_TRUE(widget.windowFlags() & flag);
  EXPECT_EQ(widget.windowType(), Qt::Tool);  // no taskbar entry
  EXPECT_EQ(panel.identifier(), "WattlinePanel-v3");
  EXPECT_FALSE(compositorRunning());  // offscreen: the corners are cut by a mask
  panel.setFrame({100, primaryScreenHeight() - 40 - 380, 420, 380});  // 40 points below the top
  EXPECT_EQ(widget.geometry(), QRect(100, 40, 420, 380));
  panel.makeKeyAndOrderFront();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  EXPECT_FALSE(widget.mask().contains(QPoint(1, 1)));  // a rounded corner
  EXPECT_TRUE(widget.mask().contains(QPoint(210, 1)));
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
