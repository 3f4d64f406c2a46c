#pragma once

#include <string>
#include <vector>

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

}  // namespace wattline
