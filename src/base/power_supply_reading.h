// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "base/unavailable_reason.h"

namespace wattline {

enum class PowerSupplyType { battery, mains, usb, wireless };

// One supply of class/power_supply as read at one moment, in the kernel's units: µV, µA, µW, µWh, µAh and
// percent. An attribute that could not be read is absent, with its reason under its name in `problems`.
struct PowerSupplyReading {
  std::string name;  // "BAT0", "AC", "ucsi-source-psy-USBC000:001"
  std::string path;  // its directory
  PowerSupplyType type = PowerSupplyType::battery;
  std::optional<std::string> status;   // "Charging", "Discharging", "Not charging", "Full", "Unknown"
  std::optional<std::string> usbType;  // the modes, the active one in brackets: "C [PD] PD_PPS"
  std::optional<std::int64_t> present;
  std::optional<std::int64_t> online;  // 0 offline, 1 online, 2 online and programmable
  std::optional<std::int64_t> voltageNow;
  std::optional<std::int64_t> currentNow;
  std::optional<std::int64_t> powerNow;
  std::optional<std::int64_t> capacity;
  std::optional<std::int64_t> energyNow;
  std::optional<std::int64_t> energyFull;
  std::optional<std::int64_t> chargeNow;
  std::optional<std::int64_t> chargeFull;
  std::optional<std::int64_t> voltageMax;
  std::optional<std::int64_t> currentMax;
  UnavailableReasons problems;  // attribute name → why it is absent

  bool isBattery() const { return type == PowerSupplyType::battery; }
  // Mains, USB or wireless charging: a supply that powers the machine from outside.
  bool isExternal() const { return !isBattery(); }
  // A USB-C connector managed through UCSI: its current is the negotiated contract, not a measurement.
  bool isUsbC() const;
  // Why `attribute` is absent: its read problem, or that the driver does not offer it.
  UnavailableReason whyAbsent(std::string_view attribute) const;

  bool operator==(const PowerSupplyReading&) const = default;
};

// The system's supplies as read at `readAt`.
struct PowerSupplyScan {
  std::string directory;                     // <sysfs>/class/power_supply
  std::vector<PowerSupplyReading> supplies;  // in name order; devices' own batteries are left out
  Date readAt;
};

}  // namespace wattline
