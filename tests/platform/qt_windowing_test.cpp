// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <sstream>

#include "platform/qt/display_platform.h"
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
TEST(QtPanelWindow, AFramelessToolWindowWithRoundedCornersOrAPlainTitledOne) {
  testApplication();
  QtPanelWindow panel;
  QWidget& widget = panel.widget();
  for (auto flag : {Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint})
    EXPECT_TRUE(widget.windowFlags() & flag);
  EXPECT_EQ(widget.windowType(), Qt::Tool);  // no taskbar entry
  EXPECT_FALSE(compositorRunning());         // offscreen: the corners are cut by a mask
  int made = 0;
  panel.setContentMaker([&] {
    ++made;
    return new QWidget;
  });
  panel.setFrame({100, primaryScreenHeight() - 40 - 380, 420, 380});  // 40 points below the top
  EXPECT_EQ(widget.geometry(), QRect(100, 40, 420, 380));
  EXPECT_EQ(made, 0) << "the content waits for the first showing";
  panel.makeKeyAndOrderFront();
  panel.layoutContent();
  EXPECT_EQ(std::make_tuple(made, panel.layout().hostingFrame.width), std::make_tuple(1, 420.0));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  EXPECT_FALSE(widget.mask().contains(QPoint(1, 1)));  // a rounded corner
  EXPECT_TRUE(widget.mask().contains(QPoint(210, 1)));

  // Titled: an ordinary square window.
  panel.setTitled(true);
  EXPECT_EQ(widget.windowType(), Qt::Window);
  EXPECT_FALSE(widget.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(widget.mask().isEmpty());
  panel.setTitled(false);
  EXPECT_EQ(widget.windowType(), Qt::Tool);
  EXPECT_FALSE(widget.mask().contains(QPoint(1, 1)));
}

TEST(QtDesktop, EscapeGoesToItsWindowsHandlerUnlessAMenuOrAnAlertIsOpen) {
  testApplication();
  QtDesktop desktop;
  bool consume = false;
  std::vector<WindowId> escapes;
  std::vector<KeyWindow> keyWindows;
  DesktopHandlers handlers;
  handlers.escapeKey = [&](WindowId window) { return escapes.push_back(window), consume; };
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

  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  consume = true;
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  EXPECT_EQ(escapes,
            (std::vector<WindowId>{windowId(&window), windowId(&window)}));  // once each, at the window
  EXPECT_EQ(window.keys, std::vector<int>{Qt::Key_Escape});

  // An open menu or alert takes the Escape, wherever it is pressed; the window hears nothing of it.
  QMenu menu(&window);
  menu.addAction("2 秒");
  menu.popup(window.mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(menu.isVisible());
  QMessageBox alert(QMessageBox::Information, "开机自启设置", "不行", QMessageBox::Ok, &window);
  alert.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&alert));
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  QTest::keyClick(alert.windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(alert.isVisible());
  EXPECT_EQ(escapes.size(), 2u);
  EXPECT_EQ(window.keys.size(), 1u);

  auto screens = desktop.screens();
  ASSERT_FALSE(screens.empty());
  EXPECT_EQ(desktop.mainScreen()->id, screens.front().id);
  EXPECT_GT(screens.front().frame.width, 0);
}

TEST(DisplayPlatform, XWhereThereIsOneTheUsersChoiceAlwaysAndNothingWithoutADisplay) {
  struct Case {
    const char *display, *wayland, *qpa;
    bool available;
    std::optional<std::string> platform;
  } cases[] = {
      {":0", "wayland-0", "", true, "xcb"},  // XWayland: the panel can be placed
      {"", "wayland-0", "", true, std::nullopt},
      {":0", "wayland-0", "wayland", true, std::nullopt},
      {"", "", "", false, std::nullopt},
  };
  for (const auto& c : cases) {
    DisplayChoice choice = chooseDisplayPlatform(c.display, c.wayland, c.qpa);
    EXPECT_EQ(choice.available, c.available) << c.display << "|" << c.wayland << "|" << c.qpa;
    EXPECT_EQ(choice.platform, c.platform) << c.display << "|" << c.wayland << "|" << c.qpa;
  }

  // The process's own environment, restored afterwards.
  const char* names[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    unsetenv(name);
  }
  std::ostringstream errors;
  EXPECT_FALSE(prepareDisplayPlatform(errors));
  EXPECT_EQ(errors.str(), "no display: set DISPLAY or WAYLAND_DISPLAY; the tool modes work without one\n");
  setenv("DISPLAY", ":7", 1);
  EXPECT_TRUE(prepareDisplayPlatform(errors));
  EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
  for (std::size_t i = 0; i < saved.size(); ++i)
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}
