// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/hwmon.h"

#include <algorithm>

#include "base/retry_timing.h"
#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

std::string runtimeStatusFile(const std::string& directory) {
  return directory + "/device/power/runtime_status";
}

bool isFanInput(std::string_view name) {
  if (!name.starts_with("fan") || !name.ends_with("_input")) return false;
  const auto digits = name.substr(3, name.size() - 3 - 6);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
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

std::vector<FanReading> HwmonFans::read() {
  constexpr std::size_t kFans = 2;
  if (fans_.empty() && attemptDue(lastSearch_, clock_.now(), kSearchInterval)) {
    lastSearch_ = clock_.now();
    for (auto& device : hwmonDevices(root_)) {
      if (device.asleep()) continue;
      for (const auto& file : sysfs::list(device.directory)) {
        if (fans_.size() < kFans && isFanInput(file))
          fans_.push_back(
              {device.directory + "/" + file, device.name + " " + file.substr(0, file.size() - 6), device});
      }
    }
  }
  std::vector<FanReading> readings;
  bool vanished = false;
  for (const auto& fan : fans_) {
    FanReading reading{fan.name, std::nullopt};
    if (!fan.device.asleep()) {
      const auto read = sysfs::readText(fan.path);
      vanished = vanished || read.status == sysfs::ReadStatus::missing;
      if (read.status == sysfs::ReadStatus::ok) reading.rpm = sysfs::parseInteger(read.text);
    }
    readings.push_back(std::move(reading));
  }
  if (vanished) {
    // A device that went away (a card unplugged, a driver reloaded): the next read looks again.
    fans_.clear();
    lastSearch_ = kDistantPast;
  }
  return readings;
}

}  // namespace wattline
