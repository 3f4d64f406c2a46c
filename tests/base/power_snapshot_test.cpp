// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>

#include "base/json_coding.h"
#include "base/power_snapshot.h"

using namespace wattline;
using nlohmann::json;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot battery(std::optional<double> amps, bool external, bool installed = true) {
  PowerSnapshot s;
  std::tie(s.timestamp, s.available, s.batteryInstalled, s.externalConnected, s.batteryAmps) =
      std::make_tuple(kNow, true, installed, external, amps);
  return s;
}

}  // namespace

TEST(PowerSnapshot, FlowAndStatusFollowTheCurrentsDeadBand) {
  using enum BatteryFlow;
  struct Row {
    std::optional<double> amps;
    bool external, installed;
    BatteryFlow flow;
    const char* status;
  };
  const Row rows[] = {{std::nullopt, false, false, unknown, "未检测到内置电池"},
                      {2.0, true, false, unknown, "外接电源供电"},
                      {std::nullopt, true, true, unknown, "外接供电 · 电池读数未知"},
                      {-0.0501, true, true, discharging, "电源 + 电池共同供电"},
                      {0.05, true, true, idle, "外接供电 · 电池待机"},
                      {-0.05, true, true, idle, "外接供电 · 电池待机"},
                      {0.0501, true, true, charging, "电源供电 · 正在充电"},
                      {0.2, false, true, charging, "电源供电 · 正在充电"},
                      {0.05, false, true, idle, "电池正在为电脑供电"},
                      {std::nullopt, false, true, unknown, "电池读数未知"}};
  for (const Row& row : rows) {
    const PowerSnapshot s = battery(row.amps, row.external, row.installed);
    EXPECT_EQ(std::make_tuple(s.flow(), s.status()), std::make_tuple(row.flow, row.status))
        << row.amps.value_or(99) << row.external << row.installed;
  }
  PowerSnapshot unavailable = battery(1.0, true);
  unavailable.available = false;
  EXPECT_EQ(unavailable.status(), "无法读取电源数据");
  EXPECT_EQ(std::make_tuple(batteryFlowFromRaw("discharging"), batteryFlowFromRaw("Charging")),
            std::make_tuple(std::optional(discharging), std::optional<BatteryFlow>()));
  // The other demonstration scenes' states are checked where they are drawn.
  EXPECT_EQ(PowerSnapshot::demo(2, kNow).status(), "外接供电 · 电池待机");
}

TEST(PowerSnapshot, AdapterToComputerAndLiveCurrents) {
  PowerSnapshot s = battery(1.0, true);
  s.inputWatts = 60;
  for (auto [battery, expected] : std::vector<std::pair<double, double>>{{70, 0}, {20, 40}, {-5, 60}}) {
    s.batteryWatts = battery;
    EXPECT_EQ(s.adapterToComputer(), expected) << battery;  // never adds the battery
  }
  s.inputWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.inputWatts = 60;
  s.batteryWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.batteryInstalled = false;
  EXPECT_EQ(s.adapterToComputer(), 60.0);
  s.externalConnected = false;
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  // Live currents need sensor sources for what is present.
  PowerSnapshot live = battery(-1.0, true);
  live.inputAmps = 2.0;
  live.batterySource = PowerDataSource::sensor;
  std::vector<bool> steps{live.liveCurrents()};
  live.inputSource = PowerDataSource::sensor;
  steps.push_back(live.liveCurrents());
  live.inputSource = PowerDataSource::systemCache;
  live.externalConnected = false;  // no adapter: its current does not matter
  steps.push_back(live.liveCurrents());
  live.batteryAmps.reset();
  steps.push_back(live.liveCurrents());
  live.batteryInstalled = false;
  steps.push_back(live.liveCurrents());
  live.available = false;
  steps.push_back(live.liveCurrents());
  EXPECT_EQ(steps, (std::vector<bool>{false, true, true, false, true, false}));
}

TEST(PowerSnapshot, FreshnessLiveLimitAndCachedAges) {
  PowerSnapshot live = battery(-1.0, false);
  live.batterySource = PowerDataSource::sensor;
  auto at = [&](double age, double interval) {
    return live.freshnessLabel(kNow + std::chrono::milliseconds(static_cast<long>(age * 1000)), interval);
  };
  // A clock set back is not "unsampled".
  for (auto [age, interval] : {std::pair(3.0, 1), {10.0, 5}, {-30.0, 1}})
    EXPECT_EQ(at(age, interval).rfind("采样 ", 0), 0u);
  EXPECT_EQ(at(3.5, 1) + at(12.9, 5), "3 秒未采样12 秒未采样");
  PowerSnapshot cached = battery(-1.0, true);
  std::vector<std::string> labels{cached.freshnessLabel(kNow, 1)};
  cached.batteryUpdatedAt = kNow - std::chrono::milliseconds(8900);
  labels.push_back(cached.freshnessLabel(kNow, 1));
  cached.inputUpdatedAt = kNow - std::chrono::seconds(20);  // the older of the two counts
  labels.push_back(cached.freshnessLabel(kNow, 1));
  cached.externalConnected = false;  // the input date only matters with an adapter
  labels.push_back(cached.freshnessLabel(kNow, 1));
  cached.batteryUpdatedAt = kNow + std::chrono::seconds(4);
  labels.push_back(cached.freshnessLabel(kNow, 1));
  cached.available = false;
  labels.push_back(cached.freshnessLabel(kNow, 1));
  EXPECT_EQ(labels, (std::vector<std::string>{"系统缓存", "缓存 8 秒前", "缓存 20 秒前", "缓存 8 秒前",
                                              "缓存 0 秒前", "读取失败"}));
}

TEST(PowerSnapshot, Formatters) {
  EXPECT_EQ(
      (std::vector{reading(std::nullopt, "瓦", false), reading(-1.234, "A", false),
                   reading(-1.234, "A", true), reading(12.3456, "V", 1, false), reading(0.0, "W", 0, false)}),
      (std::vector<std::string>{"— 瓦", "-1.23 A", "1.23 A", "12.3 V", "0 W"}));  // zero is no dash
  using Case = std::tuple<std::optional<double>, bool, const char*>;
  const Case cases[] = {{0.999, false, "0.999 W"}, {1.0, false, "1.00 W"},  {10.0, true, "≈10.0 W"},
                        {0.0, false, "0.000 W"},   {-0.1, true, "— W"},     {std::nullopt, true, "— W"},
                        {NAN, false, "— W"},       {INFINITY, false, "— W"}};
  for (auto [watts, estimated, text] : cases) EXPECT_EQ(precisePowerReading(watts, estimated), text) << text;
}

TEST(JsonCoding, RoundTripGivesAnEqualSnapshotWithOptionalsLeftOut) {
  PowerSnapshot empty;
  empty.timestamp = dateFromSeconds(1796573652);  // 2026-12-06T16:14:12Z
  const json j = toJson(empty);
  EXPECT_FALSE(j.contains("percent") || j.contains("error"));
  EXPECT_EQ(std::make_tuple(j["batterySource"], j["timestamp"], j["fanSpeeds"]),
            std::make_tuple(json("systemCache"), json("2026-12-06T16:14:12Z"), json::array()));
  const std::string text = prettyJson(j);
  EXPECT_LT(text.find("\"available\""), text.find("\"batteryInstalled\""));  // sorted keys
  PowerSnapshot s = PowerSnapshot::demo(3, dateFromSeconds(1796573652));
  std::tie(s.error, s.gpuWattsEstimated, s.batterySource, s.batteryWatts) =
      std::make_tuple("读取失败", true, PowerDataSource::sensor, -9.92);
  s.unavailable = {
      {"cpuWatts", {UnavailableReason::Kind::permissionDenied, "/sys/class/powercap/x/energy_uj"}},
      {"wifiWatts", {UnavailableReason::Kind::clocksDisagree, "monotonic 1.0 s, wall 121.0 s"}}};
  std::tie(s.batteryUpdatedAt, s.inputUpdatedAt, s.systemUpdatedAt) =
      std::make_tuple(dateFromSeconds(1796573650), dateFromSeconds(1796573651), dateFromSeconds(1796573652));
  EXPECT_EQ(snapshotFromJson(json::parse(prettyJson(toJson(s)))), s);
  EXPECT_EQ(toJson(s)["fanSpeeds"][1], (json{{"id", 1}, {"rpm", 2500.0}}));
  EXPECT_EQ(toJson(s)["unavailable"]["cpuWatts"], "permission denied: /sys/class/powercap/x/energy_uj");
  EXPECT_EQ(snapshotFromJson(j), empty);
  // An unknown power source is left out, not false; every reason must be one.
  s.unavailable.emplace("externalConnected", UnavailableReason{UnavailableReason::Kind::noDevice, "/sys"});
  const json unknown = toJson(s);
  EXPECT_FALSE(unknown.contains("externalConnected"));
  EXPECT_EQ(snapshotFromJson(unknown), (s.externalConnected = false, s));
  json bad = unknown;
  bad["unavailable"]["percent"] = "because";
  EXPECT_THROW(snapshotFromJson(bad), JsonDecodingError);
}

TEST(JsonCoding, DecodingRequiresEveryNonOptionalField) {
  json j = toJson(PowerSnapshot{});
  for (const char* key : {"timestamp", "available", "fanSpeeds", "systemEstimated", "inputSource"}) {
    json missing = j;
    missing.erase(key);
    EXPECT_THROW(snapshotFromJson(missing), JsonDecodingError) << key;
  }
  for (auto [key, value] : {std::pair<const char*, json>{"batterySource", "battery"}, {"percent", "76"}}) {
    json wrong = j;
    wrong[key] = value;
    EXPECT_THROW(snapshotFromJson(wrong), JsonDecodingError) << key;
  }
  EXPECT_THROW(snapshotFromJson(json::array()), JsonDecodingError);
  json nulls = j;
  nulls["percent"] = nullptr;  // null is accepted as absent
  EXPECT_FALSE(snapshotFromJson(nulls).percent);
}

TEST(JsonCoding, IsoDates) {
  EXPECT_EQ(isoDate(dateFromSeconds(-0.5)), "1969-12-31T23:59:59Z");  // floor, not toward zero
  for (const char* same : {"2026-12-06T16:14:12Z", "2026-12-06T17:14:12+01:00"})
    EXPECT_EQ(parseIsoDate(same), dateFromSeconds(1796573652)) << same;
  EXPECT_EQ(parseIsoDate("2026-12-06T16:14:12.5Z"), dateFromSeconds(1796573652.5));
  for (const char* bad :
       {"2024-02-30T12:00:00Z", "2026-12-06 16:14:12Z", "2026-12-06T16:14:12", "2026-12-06T16:14:12Zx",
        "2026-12-06T24:00:00Z", "2026-13-01T00:00:00Z", "2026-12-06T16:14:12+0100", "2300-01-01T00:00:00Z",
        "1600-01-01T00:00:00Z"})  // beyond what a time point holds
    EXPECT_FALSE(parseIsoDate(bad)) << bad;
}
