// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/identity.h"
#include "platform/power_supplies.h"

namespace wattline {

// The system's supplies under `sysfsRoot`/class/power_supply, in name order. Devices' own batteries (scope
// "Device": mice, keyboards) and types other than Battery, Mains, USB and Wireless are left out.
PowerSupplyScan readPowerSupplies(const std::string& sysfsRoot, Date readAt);

// class/power_supply, read afresh on every call.
class SysfsPowerSupplies : public PowerSupplySource {
 public:
  SysfsPowerSupplies(std::string sysfsRoot, const Clock& clock)
      : root_(std::move(sysfsRoot)), clock_(clock) {}
  PowerSupplyScan read() override { return readPowerSupplies(root_, clock_.now()); }

 private:
  std::string root_;
  const Clock& clock_;
};

}  // namespace wattline
