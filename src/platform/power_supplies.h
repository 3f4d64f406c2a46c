// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/power_supply_reading.h"

namespace wattline {

// The kernel's power supplies: batteries, mains adapters, USB and wireless chargers.
class PowerSupplySource {
 public:
  virtual ~PowerSupplySource() = default;
  // Every system supply, read now.
  virtual PowerSupplyScan read() = 0;
};

}  // namespace wattline
