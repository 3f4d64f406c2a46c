#pragma once

#include <optional>

#include "base/date.h"
#include "base/power_snapshot.h"
#include "readers/live_sensor_readings.h"

namespace wattline::PowerFusion {

// Overlays the controller readings of one sample on the registry snapshot.
// `external` is the providing power source (absent when undetermined), `at`
// the time of the sample.
PowerSnapshot merge(const PowerSnapshot& snapshot, const LiveSensorReadings& live,
                    std::optional<bool> external, Date at);

}  // namespace wattline::PowerFusion
