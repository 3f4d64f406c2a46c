#include "readers/live_sensor_readings.h"

#include <cmath>
#include <string_view>

namespace wattline {

namespace {

using Values = std::map<std::string, SensorValue, std::less<>>;

// The key's value scaled by `divisor` when its type fits and it lies within [low, high].
std::optional<double> quantity(const Values& values, std::string_view key, bool littleEndian, double low,
                               double high, std::string_view requiredType = {}, double divisor = 1) {
  const auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  if (!requiredType.empty() && it->second.type != requiredType) return std::nullopt;
  const auto number = SensorDecoder::number(it->second, littleEndian);
  if (!number) return std::nullopt;
  const double scaled = *number / divisor;
  if (!(scaled >= low && scaled <= high)) return std::nullopt;
  return scaled;
}

}  // namespace

LiveSensorReadings LiveSensorReadings::decode(const Values& values, bool littleEndian) {
  LiveSensorReadings r;
  // The controller reports the battery in mA and mV.
  r.batteryAmps = quantity(values, "B0AC", littleEndian, -30, 30, "si16", 1000);
  r.batteryVolts = quantity(values, "B0AV", littleEndian, 5, 30, "ui16", 1000);
  r.inputAmps = quantity(values, "ID0R", littleEndian, 0, 30);
  r.inputVolts = quantity(values, "VD0R", littleEndian, 0, 60);
  r.inputWatts = quantity(values, "PDTR", littleEndian, 0, 1000);
  r.systemWatts = quantity(values, "PSTR", littleEndian, 0, 1000);
  r.displayWatts = quantity(values, "PBwo", littleEndian, 0, 100);
  if (!r.displayWatts) r.displayWatts = quantity(values, "PDBR", littleEndian, 0, 100);
  r.wifiWatts = quantity(values, "wiPm", littleEndian, 0, 30);
  const std::string_view fans[] = {"F0Ac", "F1Ac"};
  for (std::int64_t id = 0; id < 2; ++id) {
    if (const auto rpm = quantity(values, fans[id], littleEndian, 0, 20000))
      r.fanSpeeds.push_back({id, *rpm});
  }
  return r;
}

}  // namespace wattline
