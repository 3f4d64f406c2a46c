#include "base/power_snapshot.h"

#include <algorithm>
#include <cmath>

#include "base/time_of_day.h"

namespace wattline {

namespace {

// Currents within ±0.05 A (inclusive) count as an idle battery.
constexpr double kIdleBand = 0.05;

}  // namespace

std::string_view rawValue(BatteryFlow flow) {
  switch (flow) {
    case BatteryFlow::charging:
      return "charging";
    case BatteryFlow::discharging:
      return "discharging";
    case BatteryFlow::idle:
      return "idle";
    case BatteryFlow::unknown:
      break;
  }
  return "unknown";
}

std::string_view title(BatteryFlow flow) {
  switch (flow) {
    case BatteryFlow::charging:
      return "正在充电";
    case BatteryFlow::discharging:
      return "正在放电";
    case BatteryFlow::idle:
      return "电池待机";
    case BatteryFlow::unknown:
      break;
  }
  return "等待读数";
}

std::optional<BatteryFlow> batteryFlowFromRaw(std::string_view raw) {
  for (auto flow : {BatteryFlow::charging, BatteryFlow::discharging, BatteryFlow::idle, BatteryFlow::unknown})
    if (rawValue(flow) == raw) return flow;
  return std::nullopt;
}

std::string_view rawValue(PowerDataSource source) {
  return source == PowerDataSource::sensor ? "sensor" : "systemCache";
}

std::string_view title(PowerDataSource source) {
  return source == PowerDataSource::sensor ? "直接采样" : "系统缓存";
}

std::optional<PowerDataSource> powerDataSourceFromRaw(std::string_view raw) {
  if (raw == "sensor") return PowerDataSource::sensor;
  if (raw == "systemCache") return PowerDataSource::systemCache;
  return std::nullopt;
}

BatteryFlow PowerSnapshot::flow() const {
  if (!batteryInstalled || !batteryAmps) return BatteryFlow::unknown;
  if (*batteryAmps > kIdleBand) return BatteryFlow::charging;
  if (*batteryAmps < -kIdleBand) return BatteryFlow::discharging;
  return BatteryFlow::idle;
}

std::string PowerSnapshot::status() const {
  if (!available) return "无法读取电源数据";
  if (!batteryInstalled) return externalConnected ? "外接电源供电" : "未检测到内置电池";
  if (externalConnected) {
    if (!batteryAmps) return "外接供电 · 电池读数未知";
    if (*batteryAmps < -kIdleBand) return "电源 + 电池共同供电";
    if (*batteryAmps <= kIdleBand) return "外接供电 · 电池待机";
    return "电源供电 · 正在充电";
  }
  if (!batteryAmps) return "电池读数未知";
  // The controller may report a small charging current for a moment after unplugging.
  if (*batteryAmps > kIdleBand) return "电源供电 · 正在充电";
  return "电池正在为电脑供电";
}

bool PowerSnapshot::liveCurrents() const {
  if (!available) return false;
  bool batteryLive = !batteryInstalled || (batteryAmps && batterySource == PowerDataSource::sensor);
  bool inputLive = !externalConnected || (inputAmps && inputSource == PowerDataSource::sensor);
  return batteryLive && inputLive;
}

std::optional<double> PowerSnapshot::adapterToComputer() const {
  if (!externalConnected || !inputWatts) return std::nullopt;
  if (!batteryInstalled) return inputWatts;
  if (!batteryWatts) return std::nullopt;
  // Charging power goes into the battery, not the computer; a discharging battery is not added.
  double w = *batteryWatts >= 0 ? *inputWatts - *batteryWatts : *inputWatts;
  return std::max(w, 0.0);
}

std::string PowerSnapshot::freshnessLabel(Date now, double interval) const {
  if (!available) return "读取失败";
  if (liveCurrents()) {
    double age = secondsBetween(timestamp, now);
    double limit = std::max(3.0, 2 * interval);
    if (age >= 0 && age > limit) return std::to_string(static_cast<long long>(age)) + " 秒未采样";
    return "采样 " + mediumTimeOfDay(timestamp);
  }
  std::optional<Date> oldest = batteryUpdatedAt;
  if (externalConnected && inputUpdatedAt && (!oldest || *inputUpdatedAt < *oldest)) oldest = inputUpdatedAt;
  if (!oldest) return "系统缓存";
  double age = std::max(0.0, secondsBetween(*oldest, now));
  return "缓存 " + std::to_string(static_cast<long long>(age)) + " 秒前";
}

PowerSnapshot PowerSnapshot::parse(const PropertyTable& table) {
  return parse(table, std::chrono::system_clock::now());
}

PowerSnapshot PowerSnapshot::demo(int index) {
  return demo(index, std::chrono::system_clock::now());
}

PowerSnapshot PowerSnapshot::demo(int index, Date now) {
  // Scenes: 0 charging on the adapter, 1 on battery, 2 adapter with an idle
  // battery, 3 a small adapter helped by the battery.
  int i = std::clamp(index, 0, 3);
  const bool external[] = {true, false, true, true};
  const int amperage[] = {2400, -1500, 0, -800};
  const int currentIn[] = {2600, 2600, 2600, 900};
  const int powerIn[] = {52000, 52000, 52000, 18000};
  const int load[] = {20000, 18600, 52000, 27920};
  const double cpu[] = {7.8, 5.2, 9.6, 11.4};
  const double gpu[] = {1.4, 0.6, 2.1, 3.2};

  PropertyTable table{
      {"BatteryInstalled", true},
      {"CurrentCapacity", 76},
      {"MaxCapacity", 100},
      {"Voltage", 12400},
      {"ExternalConnected", external[i]},
      {"InstantAmperage", amperage[i]},
      {"AdapterDetails", PropertyTable{{"Watts", 96}}},
      {"PowerTelemetryData", PropertyTable{{"SystemCurrentIn", currentIn[i]},
                                           {"SystemVoltageIn", 20000},
                                           {"SystemPowerIn", powerIn[i]},
                                           {"SystemLoad", load[i]}}},
  };
  PowerSnapshot snapshot = parse(table, now);
  snapshot.cpuWatts = cpu[i];
  snapshot.gpuWatts = gpu[i];
  snapshot.displayWatts = 2.3;
  snapshot.componentSampleDuration = 1.0;
  snapshot.wifiWatts = 0.033;
  snapshot.fanSpeeds = {{0, 2320}, {1, 2500}};
  snapshot.componentsUpdatedAt = snapshot.timestamp;
  snapshot.displayUpdatedAt = snapshot.timestamp;
  snapshot.detailSensorsUpdatedAt = snapshot.timestamp;
  return snapshot;
}

}  // namespace wattline
