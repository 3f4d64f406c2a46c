#include <gtest/gtest.h>

#include <cmath>

#include "power/json_coding.h"
#include "power/power_snapshot.h"

using namespace wattline;
using nlohmann::json;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot battery(std::optional<double> amps, bool external, bool installed = true) {
  PowerSnapshot s;
  s.timestamp = kNow;
  s.available = true;
  s.batteryInstalled = installed;
  s.externalConnected = external;
  s.batteryAmps = amps;
  return s;
}

}  // namespace

TEST(PowerSnapshot, FlowDeadBandAndStatusTable) {
  EXPECT_EQ(battery(0.05, true).flow(), BatteryFlow::idle);
  EXPECT_EQ(battery(-0.05, true).flow(), BatteryFlow::idle);
  EXPECT_EQ(battery(0.0501, true).flow(), BatteryFlow::charging);
  EXPECT_EQ(battery(-0.0501, true).flow(), BatteryFlow::discharging);
  EXPECT_EQ(battery(std::nullopt, true).flow(), BatteryFlow::unknown);
  EXPECT_EQ(battery(2.0, true, false).flow(), BatteryFlow::unknown);
  EXPECT_EQ(title(BatteryFlow::unknown), "等待读数");
  EXPECT_EQ(batteryFlowFromRaw("discharging"), BatteryFlow::discharging);
  EXPECT_EQ(batteryFlowFromRaw("Charging"), std::nullopt);
  PowerSnapshot unavailable = battery(1.0, true);
  unavailable.available = false;
  EXPECT_EQ(unavailable.status(), "无法读取电源数据");
  struct Row {
    std::optional<double> amps;
    bool external, installed;
    const char* status;
  };
  const Row rows[] = {{std::nullopt, false, false, "未检测到内置电池"},
                      {std::nullopt, true, false, "外接电源供电"},
                      {std::nullopt, true, true, "外接供电 · 电池读数未知"},
                      {-0.06, true, true, "电源 + 电池共同供电"},
                      {0.05, true, true, "外接供电 · 电池待机"},
                      {-0.05, true, true, "外接供电 · 电池待机"},
                      {0.06, true, true, "电源供电 · 正在充电"},
                      {0.2, false, true, "电源供电 · 正在充电"},
                      {0.05, false, true, "电池正在为电脑供电"},
                      {-1.5, false, true, "电池正在为电脑供电"},
                      {std::nullopt, false, true, "电池读数未知"}};
  for (const Row& row : rows)
    EXPECT_EQ(battery(row.amps, row.external, row.installed).status(), row.status)
        << row.amps.value_or(99) << row.external << row.installed;
}

TEST(PowerSnapshot, AdapterToComputerAndLiveCurrents) {
  PowerSnapshot s = battery(1.0, true);
  s.inputWatts = 60;
  for (auto [battery, expected] : std::vector<std::pair<double, double>>{{70, 0}, {20, 40}, {-5, 60}}) {
    s.batteryWatts = battery;
    EXPECT_EQ(s.adapterToComputer(), expected) << battery;  // never adds the battery
  }
  s.batteryWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.batteryInstalled = false;
  EXPECT_EQ(s.adapterToComputer(), 60.0);
  s.externalConnected = false;
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.externalConnected = true;
  s.inputWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  // Live currents need sensor sources for what is present.
  PowerSnapshot live = battery(-1.0, true);
  live.inputAmps = 2.0;
  live.batterySource = PowerDataSource::sensor;
  live.inputSource = PowerDataSource::sensor;
  EXPECT_TRUE(live.liveCurrents());
  live.inputSource = PowerDataSource::systemCache;
  EXPECT_FALSE(live.liveCurrents());
  live.externalConnected = false;  // no adapter: its current does not matter
  EXPECT_TRUE(live.liveCurrents());
  live.batteryAmps.reset();
  EXPECT_FALSE(live.liveCurrents());
  live.batteryInstalled = false;
  EXPECT_TRUE(live.liveCurrents());
  live.available = false;
  EXPECT_FALSE(live.liveCurrents());
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
  EXPECT_EQ(at(3.5, 1), "3 秒未采样");
  EXPECT_EQ(at(12.9, 5), "12 秒未采样");
  PowerSnapshot cached = battery(-1.0, true);
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "系统缓存");
  cached.batteryUpdatedAt = kNow - std::chrono::milliseconds(8900);
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "缓存 8 秒前");
  cached.inputUpdatedAt = kNow - std::chrono::seconds(20);  // the older of the two counts
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "缓存 20 秒前");
  cached.externalConnected = false;  // the input date only matters with an adapter
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "缓存 8 秒前");
  cached.batteryUpdatedAt = kNow + std::chrono::seconds(4);
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "缓存 0 秒前");
  cached.available = false;
  EXPECT_EQ(cached.freshnessLabel(kNow, 1), "读取失败");
}

TEST(PowerSnapshot, DemoScenes) {
  PowerSnapshot charging = PowerSnapshot::demo(0, kNow);
  EXPECT_EQ(charging.flow(), BatteryFlow::charging);
  EXPECT_DOUBLE_EQ(*charging.batteryAmps, 2.4);
  EXPECT_EQ(charging.fanSpeeds, (std::vector<FanSpeed>{{0, 2320}, {1, 2500}}));
  EXPECT_EQ(PowerSnapshot::demo(1, kNow).status(), "电池正在为电脑供电");
  EXPECT_EQ(PowerSnapshot::demo(2, kNow).flow(), BatteryFlow::idle);
  PowerSnapshot shared = PowerSnapshot::demo(3, kNow);
  EXPECT_EQ(shared.status(), "电源 + 电池共同供电");
}

TEST(PowerSnapshot, Formatters) {
  EXPECT_EQ(reading(std::nullopt, "瓦", false), "— 瓦");
  EXPECT_EQ(reading(-1.234, "A", false), "-1.23 A");
  EXPECT_EQ(reading(-1.234, "A", true), "1.23 A");
  EXPECT_EQ(reading(12.3456, "V", 1, false), "12.3 V");
  EXPECT_EQ(reading(0.0, "W", 0, false), "0 W");  // zero is a reading, not a dash
  using Case = std::tuple<std::optional<double>, bool, const char*>;
  const Case cases[] = {{0.4567, false, "0.457 W"}, {5.25, false, "5.25 W"}, {23.46, true, "≈23.5 W"},
                        {0.999, false, "0.999 W"},  {1.0, false, "1.00 W"},  {10.0, false, "10.0 W"},
                        {0.0, false, "0.000 W"},    {-0.1, true, "— W"},     {std::nullopt, true, "— W"},
                        {NAN, false, "— W"},        {INFINITY, false, "— W"}};
  for (auto [watts, estimated, text] : cases) EXPECT_EQ(precisePowerReading(watts, estimated), text) << text;
}

TEST(JsonCoding, DefaultSnapshotLeavesOptionalsOut) {
  PowerSnapshot s;
  s.timestamp = dateFromSeconds(1796573652);  // 2026-12-06T16:14:12Z
  json j = toJson(s);
  EXPECT_FALSE(j.contains("percent") || j.contains("error"));
  EXPECT_EQ(j["batterySource"], "systemCache");
  EXPECT_EQ(j["timestamp"], "2026-12-06T16:14:12Z");
  EXPECT_EQ(j["fanSpeeds"], json::array());
  // Exactly the snapshot's fields, no more.
  EXPECT_EQ(j.size(), 11u);
  std::string text = prettyJson(j);
  EXPECT_LT(text.find("\"available\""), text.find("\"batteryInstalled\""));  // sorted keys
}

TEST(JsonCoding, RoundTripGivesAnEqualSnapshot) {
  PowerSnapshot s = PowerSnapshot::demo(3, dateFromSeconds(1796573652));
  s.error = "电源数据读取失败（-5），正在等待下次采样。";
  s.batterySource = PowerDataSource::sensor;
  s.batteryUpdatedAt = dateFromSeconds(1796573650);
  s.inputUpdatedAt = dateFromSeconds(1796573651);
  s.systemUpdatedAt = dateFromSeconds(1796573652);
  s.batteryWatts = -9.92;
  PowerSnapshot back = snapshotFromJson(json::parse(prettyJson(toJson(s))));
  EXPECT_EQ(back, s);
  EXPECT_EQ(toJson(back)["fanSpeeds"][1], (json{{"id", 1}, {"rpm", 2500.0}}));
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
  EXPECT_EQ(isoDate(dateFromSeconds(0)), "1970-01-01T00:00:00Z");
  EXPECT_EQ(isoDate(dateFromSeconds(-0.5)), "1969-12-31T23:59:59Z");  // floor, not toward zero
  EXPECT_EQ(parseIsoDate("2026-12-06T16:14:12Z"), dateFromSeconds(1796573652));
  EXPECT_EQ(parseIsoDate("2026-12-06T17:14:12+01:00"), dateFromSeconds(1796573652));
  EXPECT_EQ(parseIsoDate("2026-12-06T16:14:12.5Z"), dateFromSeconds(1796573652.5));
  for (const char* bad :
       {"2024-02-30T12:00:00Z", "2026-12-06 16:14:12Z", "2026-12-06T16:14:12", "2026-12-06T16:14:12Zx",
        "2026-12-06T24:00:00Z", "2026-13-01T00:00:00Z", "2026-12-06T16:14:12+0100", "",
        "2300-01-01T00:00:00Z", "1600-01-01T00:00:00Z"})  // beyond what a time point holds
    EXPECT_FALSE(parseIsoDate(bad)) << bad;
}
