// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/udev_power_monitor.h"

#include <libudev.h>

namespace wattline {

std::unique_ptr<UdevPowerMonitor> UdevPowerMonitor::open() {
  udev* context = udev_new();
  if (!context) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "power_supply", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
    if (monitor) udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
  }
  return std::unique_ptr<UdevPowerMonitor>(new UdevPowerMonitor(context, monitor));
}

UdevPowerMonitor::~UdevPowerMonitor() {
  udev_monitor_unref(monitor_);
  udev_unref(context_);
}

int UdevPowerMonitor::fd() const {
  return udev_monitor_get_fd(monitor_);
}

bool UdevPowerMonitor::drain() {
  bool any = false;
  // The socket is non-blocking: receive returns nothing once the queue is empty.
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    any = true;
    udev_device_unref(device);
  }
  return any;
}

}  // namespace wattline
