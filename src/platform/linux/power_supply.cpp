// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/power_supply.h"

#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

std::optional<PowerSupplyType> typeNamed(std::string_view type) {
  if (type == "Battery") return PowerSupplyType::battery;
  if (type == "Mains") return PowerSupplyType::mains;
  if (type == "USB") return PowerSupplyType::usb;
  if (type == "Wireless") return PowerSupplyType::wireless;
  return std::nullopt;
}

void read(PowerSupplyReading& supply, const char* attribute, std::optional<std::int64_t>& field) {
  auto read = sysfs::readInteger(supply.path + "/" + attribute);
  field = read.value;
  // A missing attribute needs no entry: whyAbsent says so already.
  if (read.problem && read.problem->kind != UnavailableReason::Kind::notReported)
    supply.problems.emplace(attribute, std::move(*read.problem));
}

PowerSupplyReading readSupply(std::string directory, std::string name, PowerSupplyType type) {
  PowerSupplyReading s;
  s.name = std::move(name);
  s.path = std::move(directory);
  s.type = type;
  if (s.isBattery()) {
    read(s, "present", s.present);
    s.status = sysfs::text(s.path + "/status");
    read(s, "voltage_now", s.voltageNow);
    read(s, "current_now", s.currentNow);
    // Drivers report current or power; the power is needed only where the current or voltage is missing.
    if (!s.currentNow || !s.voltageNow) read(s, "power_now", s.powerNow);
    read(s, "capacity", s.capacity);
    read(s, "energy_now", s.energyNow);
    read(s, "energy_full", s.energyFull);
    if (!s.energyNow || !s.energyFull) {
      read(s, "charge_now", s.chargeNow);
      read(s, "charge_full", s.chargeFull);
    }
  } else {
    read(s, "online", s.online);
    if (s.type == PowerSupplyType::usb) s.usbType = sysfs::text(s.path + "/usb_type");
    if (s.online && *s.online != 0) {
      read(s, "voltage_max", s.voltageMax);
      read(s, "current_max", s.currentMax);
      read(s, "voltage_now", s.voltageNow);
      read(s, "current_now", s.currentNow);
      read(s, "power_now", s.powerNow);
    }
  }
  return s;
}

}  // namespace

PowerSupplyScan readPowerSupplies(const std::string& sysfsRoot, Date readAt) {
  PowerSupplyScan scan{sysfsRoot + "/class/power_supply", {}, readAt};
  for (auto& name : sysfs::list(scan.directory)) {
    std::string directory = scan.directory + "/" + name;
    const auto type = sysfs::text(directory + "/type");
    const auto known = type ? typeNamed(*type) : std::nullopt;
    if (!known) continue;
    // Mice and keyboards report their own batteries with scope "Device".
    if (*known == PowerSupplyType::battery && sysfs::text(directory + "/scope") == "Device") continue;
    scan.supplies.push_back(readSupply(std::move(directory), std::move(name), *known));
  }
  return scan;
}

}  // namespace wattline
