// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

#include "platform/windowing.h"

class QScreen;
class QWidget;
class QWindow;

namespace wattline {

// The application, its windows and screens on Qt. Needs a QApplication.
//
// X11 has no activation of an application as such: an application is active
// while one of its windows has the input focus, and a click into another
// application takes the focus away. So `activate` only marks the application
// as coming forward, and the next window made key brings it there; the mark
// ends with the next real change of state. A deactivation is reported as the
// outside mouse-down it usually is, followed by the resignation.
class QtDesktop : public Desktop {
 public:
  QtDesktop();

  bool isActive() const override;
  void activate() override;
  std::optional<KeyWindow> keyWindow() const override;
  std::vector<Screen> screens() const override;
  std::optional<Screen> mainScreen() const override;
  std::unique_ptr<Subscription> observe(DesktopHandlers handlers) override;

 private:
  QObject context_;
  bool activationPending_ = false;
};

// The id of a top-level widget's window, as key windows report it.
WindowId windowId(const QWidget* topLevel);
KeyWindow keyWindowInfo(QWindow& window);
// Screens keep their id while they are connected.
Screen screenInfo(QScreen& screen);
// Qt's downward coordinates turn upward around the primary screen's height.
double primaryScreenHeight();

}  // namespace wattline
