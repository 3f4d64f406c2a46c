// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "base/date.h"
#include "base/power_snapshot.h"
#include "platform/fan_sensors.h"
#include "readers/component_power.h"

namespace wattline::PowerFusion {

// The speeds of the first two fans whose reading lies within 0–20000 rpm, each with its position as id.
std::vector<FanSpeed> fanSpeeds(const std::vector<FanReading>& fans);

// The supplies' snapshot of one sample with the energy counters' component and platform power and, when
// read, the fan speeds, at `at`. The platform counter gives the whole-system power unless it contradicts
// the battery's discharge on battery, or the processor package of the same interval on the adapter; GPU
// power that would put CPU and GPU together above the whole system beyond the measurement's spread goes.
PowerSnapshot merge(const PowerSnapshot& supplies, const ComponentPowerReading& components,
                    const std::optional<std::vector<FanSpeed>>& fans, Date at);

}  // namespace wattline::PowerFusion
