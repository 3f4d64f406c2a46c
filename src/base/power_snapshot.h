// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "base/power_supply_reading.h"
#include "base/unavailable_reason.h"

namespace wattline {

enum class BatteryFlow { charging, discharging, idle, unknown };
std::string_view rawValue(BatteryFlow flow);
std::string_view title(BatteryFlow flow);
std::optional<BatteryFlow> batteryFlowFromRaw(std::string_view raw);

enum class PowerDataSource { sensor, systemCache };
std::string_view rawValue(PowerDataSource source);
std::string_view title(PowerDataSource source);
std::optional<PowerDataSource> powerDataSourceFromRaw(std::string_view raw);

struct FanSpeed {
  std::int64_t id = 0;
  double rpm = 0;
  bool operator==(const FanSpeed&) const = default;
};

// The power state of the machine at one moment. Units: W, A, V, percent, s.
// An absent optional means "no reading", never zero.
struct PowerSnapshot {
  Date timestamp = std::chrono::system_clock::now();
  bool available = false;
  bool batteryInstalled = false;
  bool externalConnected = false;
  std::optional<double> percent;
  std::optional<double> batteryAmps;  // positive = charging
  std::optional<double> batteryVolts;
  std::optional<double> batteryWatts;  // positive = charging
  std::optional<double> inputAmps;
  std::optional<double> inputVolts;
  std::optional<double> inputWatts;
  std::optional<double> systemWatts;
  std::optional<double> cpuWatts;
  std::optional<double> gpuWatts;
  bool gpuWattsEstimated = false;  // derived, as from an APU's whole-chip reading less its processor
  std::optional<double> displayWatts;
  std::optional<Date> componentsUpdatedAt;
  std::optional<double> componentSampleDuration;
  std::optional<Date> displayUpdatedAt;
  std::optional<double> wifiWatts;
  std::vector<FanSpeed> fanSpeeds;
  std::optional<Date> detailSensorsUpdatedAt;
  std::optional<double> adapterRatedWatts;
  bool inputAmpsEstimated = false;
  bool inputWattsEstimated = false;
  bool systemEstimated = false;
  std::optional<std::string> error;
  PowerDataSource batterySource = PowerDataSource::systemCache;
  PowerDataSource inputSource = PowerDataSource::systemCache;
  PowerDataSource systemSource = PowerDataSource::systemCache;
  std::optional<Date> batteryUpdatedAt;
  std::optional<Date> inputUpdatedAt;
  std::optional<Date> systemUpdatedAt;
  // Why an absent value is absent, keyed by its field's name; "externalConnected" here means the
  // power source is unknown and the field's false says nothing.
  UnavailableReasons unavailable;

  bool operator==(const PowerSnapshot&) const = default;

  // The battery and power-source fields from the kernel's supplies, read directly at `scan.readAt`;
  // `now` stamps the snapshot.
  static PowerSnapshot parse(const PowerSupplyScan& scan, Date now);
  // Demonstration scenes 0...3.
  static PowerSnapshot demo(int index, Date now);
  static PowerSnapshot demo(int index);

  BatteryFlow flow() const;
  std::string status() const;
  bool liveCurrents() const;
  std::optional<double> adapterToComputer() const;
  std::string freshnessLabel(Date now, double interval) const;
  // Whether some supply says if the adapter is connected.
  bool externalKnown() const { return !unavailable.contains("externalConnected"); }
};

// "%.*f unit" of the value (its magnitude when asked), or "— unit" when absent.
std::string reading(std::optional<double> value, std::string_view unit, int digits, bool magnitude);
inline std::string reading(std::optional<double> value, std::string_view unit, bool magnitude) {
  return reading(value, unit, 2, magnitude);
}
// Watts with 3, 2 or 1 decimals by size, "≈" when estimated; "— W" for absent or invalid values.
std::string precisePowerReading(std::optional<double> watts, bool estimated);

}  // namespace wattline
