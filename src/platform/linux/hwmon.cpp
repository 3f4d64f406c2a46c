#include "platform/linux/hwmon.h"

#include <algorithm>

#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

std::string runtimeStatusFile(const std::string& directory) {
  return directory + "/device/power/runtime_status";
}

}  // namespace

bool HwmonDevice::asleep() const {
  return powerManaged && sysfs::text(runtimeStatusFile(directory)) == "suspended";
}

std::vector<HwmonDevice> hwmonDevices(const std::string& sysfsRoot) {
  std::vector<HwmonDevice> devices;
  const std::string base = sysfsRoot + "/class/hwmon/";
  for (const auto& entry : sysfs::list(base)) {
    HwmonDevice device;
    device.directory = base + entry;
    device.name = sysfs::text(device.directory + "/name").value_or("");
    const auto bus = sysfs::linkName(device.directory + "/device/subsystem");
    device.platform = bus == "platform" || bus == "acpi";
    const auto status = sysfs::text(runtimeStatusFile(device.directory));
    device.powerManaged = status && *status != "unsupported";
    devices.push_back(std::move(device));
  }
  std::stable_partition(devices.begin(), devices.end(), [](const HwmonDevice& d) { return d.platform; });
  return devices;
}

}  // namespace wattline
