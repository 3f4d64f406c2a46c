// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

#include "platform/fan_sensors.h"
#include "platform/identity.h"

namespace wattline {

// One device of class/hwmon.
struct HwmonDevice {
  std::string directory;
  std::string name;  // the driver's name: "thinkpad", "amdgpu", "i915"
  // The machine's own sensors (embedded controller, vendor driver, board): the device sits on the
  // platform or ACPI bus, not on an expansion bus as a graphics card does.
  bool platform = false;
  // The device has runtime power management, so it may be suspended.
  bool powerManaged = false;

  // Whether the device is suspended now; reading any of its sensors would wake it.
  bool asleep() const;
};

// The devices under `sysfsRoot`/class/hwmon: the platform's own first, each part in natural order.
std::vector<HwmonDevice> hwmonDevices(const std::string& sysfsRoot);

// The first two fan inputs of class/hwmon, the platform's own first. They are looked for again at the next
// read when one vanishes, and at most every 10 seconds while there are none. A suspended device's fans are
// not read: reading would wake it.
class HwmonFans : public FanSensors {
 public:
  static constexpr double kSearchInterval = 10.0;

  HwmonFans(std::string sysfsRoot, const Clock& clock) : root_(std::move(sysfsRoot)), clock_(clock) {}
  std::vector<FanReading> read() override;

 private:
  struct Fan {
    std::string path;
    std::string name;
    HwmonDevice device;
  };

  std::string root_;
  const Clock& clock_;
  std::vector<Fan> fans_;
  Date lastSearch_ = kDistantPast;
};

}  // namespace wattline
