// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/energy_counters.h"
#include "platform/fan_sensors.h"
#include "platform/identity.h"
#include "platform/power_supplies.h"

namespace wattline {

// The sources one power reader samples. All must be set; the clock comes first so that it outlives the
// sources that read it.
struct PowerReaderServices {
  std::unique_ptr<Clock> clock;
  std::unique_ptr<PowerSupplySource> supplies;
  std::unique_ptr<FanSensors> fans;
  std::unique_ptr<EnergyCounterSource> energy;
};

}  // namespace wattline
