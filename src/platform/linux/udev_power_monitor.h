// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

struct udev;
struct udev_monitor;

namespace wattline {

// Kernel events of the power_supply subsystem (adapter plugged or unplugged,
// battery state changes), read from a netlink socket.
class UdevPowerMonitor {
 public:
  // Nothing when udev or its netlink socket is unavailable (some containers).
  static std::unique_ptr<UdevPowerMonitor> open();
  ~UdevPowerMonitor();
  UdevPowerMonitor(const UdevPowerMonitor&) = delete;
  UdevPowerMonitor& operator=(const UdevPowerMonitor&) = delete;

  // Becomes readable when events wait.
  int fd() const;
  // Reads every waiting event; true when at least one came.
  bool drain();

 private:
  UdevPowerMonitor(udev* context, udev_monitor* monitor) : context_(context), monitor_(monitor) {}
  udev* context_;
  udev_monitor* monitor_;
};

}  // namespace wattline
