// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

namespace wattline {

// The desktop's notifications.
class DesktopNotifications {
 public:
  virtual ~DesktopNotifications() = default;
  // Shows `summary` with the program's icon; `activated` runs on the main thread when the user clicks it.
  // Without a notification service nothing is shown and nothing runs.
  virtual void notify(const std::string& summary, std::function<void()> activated) = 0;
};

}  // namespace wattline
