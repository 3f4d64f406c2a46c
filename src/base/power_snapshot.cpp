// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/power_snapshot.h"

#include <algorithm>
#include <cmath>

#include "base/power_supply_rules.h"
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

PowerSnapshot PowerSnapshot::parse(const PowerSupplyScan& scan, Date now) {
  using namespace PowerSupplyRules;
  using Kind = UnavailableReason::Kind;
  PowerSnapshot s;
  s.timestamp = now;
  s.available = !scan.supplies.empty();
  const auto put = [&s](std::optional<double>& field, const char* name, const Measured& measured) {
    field = measured.value;
    if (!measured.value && measured.reason) s.unavailable.insert_or_assign(name, *measured.reason);
  };
  const auto absent = [&put](std::optional<double>& field, const char* name, const UnavailableReason& why) {
    put(field, name, {std::nullopt, why});
  };
  const auto needs = [](const char* name, const PowerSnapshot& from) {
    const auto it = from.unavailable.find(name);
    return UnavailableReason{
        Kind::needs,
        std::string(name) + (it == from.unavailable.end() ? "" : " (" + it->second.text() + ")")};
  };

  const auto batteries = systemBatteries(scan.supplies);
  s.batteryInstalled = !batteries.empty();
  const auto external = externalOnline(scan.supplies);
  s.externalConnected = external.value_or(false);
  if (!external) {
    UnavailableReason why{Kind::noDevice, scan.directory};
    for (const auto& supply : scan.supplies) {
      if (supply.isExternal() && !supply.online) {
        why = supply.whyAbsent("online");
        break;
      }
    }
    s.unavailable.insert_or_assign("externalConnected", why);
  }

  if (s.batteryInstalled) {
    const BatteryPower flow = batteriesPower(batteries, external);
    put(s.percent, "percent", PowerSupplyRules::percent(batteries));
    put(s.batteryAmps, "batteryAmps", flow.amps);
    put(s.batteryVolts, "batteryVolts", flow.volts);
    put(s.batteryWatts, "batteryWatts", flow.watts);
    if (s.batteryAmps || s.batteryWatts) {
      s.batterySource = PowerDataSource::sensor;
      s.batteryUpdatedAt = scan.readAt;
    }
  } else {
    const UnavailableReason none{Kind::noDevice, "no system battery in " + scan.directory};
    for (auto [field, name] : {std::pair{&s.percent, "percent"},
                               {&s.batteryAmps, "batteryAmps"},
                               {&s.batteryVolts, "batteryVolts"},
                               {&s.batteryWatts, "batteryWatts"}})
      absent(*field, name, none);
  }

  if (external == true) {
    UnavailableReason noRating{Kind::notReported, "no maximum voltage and current of an online supply"};
    for (const auto& supply : scan.supplies) {
      if (!supply.isExternal() || !supply.online || *supply.online == 0) continue;
      if ((s.adapterRatedWatts = ratedWatts(supply))) break;
    }
    if (!s.adapterRatedWatts) s.unavailable.insert_or_assign("adapterRatedWatts", noRating);
    const Input in = input(scan.supplies);
    put(s.inputAmps, "inputAmps", in.amps);
    put(s.inputVolts, "inputVolts", in.volts);
    put(s.inputWatts, "inputWatts", in.watts);
    s.inputAmpsEstimated = in.ampsEstimated;
    s.inputWattsEstimated = in.wattsEstimated;
    if (s.inputAmps || s.inputWatts) {
      s.inputSource = PowerDataSource::sensor;
      s.inputUpdatedAt = scan.readAt;
    }
  } else if (external == false) {
    // Off the adapter nothing flows in: a reading of zero, not an absent one.
    s.inputAmps = 0.0;
    s.inputWatts = 0.0;
    const UnavailableReason offline{Kind::noDevice, "no external supply online"};
    absent(s.inputVolts, "inputVolts", offline);
    absent(s.adapterRatedWatts, "adapterRatedWatts", offline);
  } else {
    for (auto [field, name] : {std::pair{&s.inputAmps, "inputAmps"},
                               {&s.inputVolts, "inputVolts"},
                               {&s.inputWatts, "inputWatts"},
                               {&s.adapterRatedWatts, "adapterRatedWatts"}})
      absent(*field, name, needs("externalConnected", s));
  }

  // The whole system draws what flows in less what goes into the battery.
  if (!external) {
    absent(s.systemWatts, "systemWatts", needs("externalConnected", s));
  } else if (!s.inputWatts) {
    absent(s.systemWatts, "systemWatts", needs("inputWatts", s));
  } else if (s.batteryInstalled && !s.batteryWatts) {
    absent(s.systemWatts, "systemWatts", needs("batteryWatts", s));
  } else {
    s.systemWatts = std::max(*s.inputWatts - s.batteryWatts.value_or(0.0), 0.0);
    s.systemEstimated = true;
    s.systemSource = PowerDataSource::sensor;
    s.systemUpdatedAt = scan.readAt;
  }
  return s;
}

PowerSnapshot PowerSnapshot::demo(int index) {
  return demo(index, std::chrono::system_clock::now());
}

PowerSnapshot PowerSnapshot::demo(int index, Date now) {
  // Scenes: 0 charging on the adapter, 1 on battery, 2 adapter with an idle
  // battery, 3 a small adapter helped by the battery.
  int i = std::clamp(index, 0, 3);
  const bool external[] = {true, false, true, true};
  const int milliamps[] = {2400, -1500, 0, -800};
  const int currentIn[] = {2600, 2600, 2600, 900};
  const int powerIn[] = {52000, 52000, 52000, 18000};
  const int load[] = {20000, 18600, 52000, 27920};
  const double cpu[] = {7.8, 5.2, 9.6, 11.4};
  const double gpu[] = {1.4, 0.6, 2.1, 3.2};

  PowerSupplyReading adapter;
  adapter.name = "AC";
  adapter.type = PowerSupplyType::mains;
  adapter.online = external[i] ? 1 : 0;
  adapter.voltageNow = 20'000'000;
  adapter.currentNow = currentIn[i] * 1000;
  adapter.powerNow = powerIn[i] * 1000;
  adapter.voltageMax = 24'000'000;
  adapter.currentMax = 4'000'000;
  PowerSupplyReading battery;
  battery.name = "BAT0";
  battery.capacity = 76;
  battery.voltageNow = 12'400'000;
  battery.currentNow = std::abs(milliamps[i]) * 1000;
  battery.status = milliamps[i] > 0 ? "Charging" : milliamps[i] < 0 ? "Discharging" : "Full";

  PowerSnapshot snapshot = parse({"", {adapter, battery}, now}, now);
  // Simulated values are no samples: no source read them and they carry no reading times.
  snapshot.systemWatts = load[i] / 1000.0;
  snapshot.systemEstimated = false;
  snapshot.batterySource = snapshot.inputSource = snapshot.systemSource = PowerDataSource::systemCache;
  snapshot.batteryUpdatedAt = snapshot.inputUpdatedAt = snapshot.systemUpdatedAt = std::nullopt;
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
