#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/power_snapshot.h"
#include "readers/sensor_decoder.h"

namespace wattline {

// The controller's quantities of one sample, validated; absent when missing,
// mistyped or out of range.
struct LiveSensorReadings {
  std::optional<double> batteryAmps;  // positive = into the battery
  std::optional<double> batteryVolts;
  std::optional<double> inputAmps;
  std::optional<double> inputVolts;
  std::optional<double> inputWatts;
  std::optional<double> systemWatts;
  std::optional<double> displayWatts;
  std::optional<double> wifiWatts;
  std::vector<FanSpeed> fanSpeeds;

  bool operator==(const LiveSensorReadings&) const = default;

  static LiveSensorReadings decode(const std::map<std::string, SensorValue, std::less<>>& values,
                                   bool littleEndian);
};

}  // namespace wattline
