#include <gtest/gtest.h>

#include "power/power_snapshot.h"

using namespace wattline;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot battery(std::optional<double> amps, bool external) {
  PowerSnapshot s;
  s.timestamp = kNow;
  s.available = true;
  s.batteryInstalled = true;
  s.externalConnected = external;
  s.batteryAmps = amps;
  return s;
}

}  // namespace

TEST(PowerSnapshotFlow, DeadBandIsInclusiveAtBothEnds) {
  EXPECT_EQ(battery(0.05, true).flow(), BatteryFlow::idle);
  EXPECT_EQ(battery(-0.05, true).flow(), BatteryFlow::idle);
  EXPECT_EQ(battery(0.0501, true).flow(), BatteryFlow::charging);
  EXPECT_EQ(battery(-0.0501, true).flow(), BatteryFlow::discharging);
  EXPECT_EQ(battery(std::nullopt, true).flow(), BatteryFlow::unknown);
  PowerSnapshot noBattery = battery(2.0, true);
  noBattery.batteryInstalled = false;
  EXPECT_EQ(noBattery.flow(), BatteryFlow::unknown);
  EXPECT_EQ(title(BatteryFlow::unknown), "等待读数");
  EXPECT_EQ(batteryFlowFromRaw("discharging"), BatteryFlow::discharging);
  EXPECT_EQ(batteryFlowFromRaw("Charging"), std::nullopt);
}

TEST(PowerSnapshotStatus, FirstMatchingRowWins) {
  PowerSnapshot unavailable = battery(1.0, true);
  unavailable.available = false;
  EXPECT_EQ(unavailable.status(), "无法读取电源数据");

  PowerSnapshot none = battery(std::nullopt, false);
  none.batteryInstalled = false;
  EXPECT_EQ(none.status(), "未检测到内置电池");
  none.externalConnected = true;
  EXPECT_EQ(none.status(), "外接电源供电");

  EXPECT_EQ(battery(std::nullopt, true).status(), "外接供电 · 电池读数未知");
  EXPECT_EQ(battery(-0.06, true).status(), "电源 + 电池共同供电");
  EXPECT_EQ(battery(0.05, true).status(), "外接供电 · 电池待机");
  EXPECT_EQ(battery(-0.05, true).status(), "外接供电 · 电池待机");
  EXPECT_EQ(battery(0.06, true).status(), "电源供电 · 正在充电");
  EXPECT_EQ(battery(0.2, false).status(), "电源供电 · 正在充电");
  EXPECT_EQ(battery(0.05, false).status(), "电池正在为电脑供电");
  EXPECT_EQ(battery(-1.5, false).status(), "电池正在为电脑供电");
  EXPECT_EQ(battery(std::nullopt, false).status(), "电池读数未知");
}

TEST(PowerSnapshotDerived, AdapterToComputerNeverAddsTheBattery) {
  PowerSnapshot s = battery(1.0, true);
  s.inputWatts = 60;
  s.batteryWatts = 70;
  EXPECT_EQ(s.adapterToComputer(), 0.0);
  s.batteryWatts = 20;
  EXPECT_EQ(s.adapterToComputer(), 40.0);
  s.batteryWatts = -5;
  EXPECT_EQ(s.adapterToComputer(), 60.0);
  s.batteryWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.batteryInstalled = false;
  EXPECT_EQ(s.adapterToComputer(), 60.0);
  s.externalConnected = false;
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
  s.externalConnected = true;
  s.inputWatts.reset();
  EXPECT_EQ(s.adapterToComputer(), std::nullopt);
}

TEST(PowerSnapshotDerived, LiveCurrentsNeedSensorSourcesForWhatIsPresent) {
  PowerSnapshot s = battery(-1.0, true);
  s.inputAmps = 2.0;
  s.batterySource = PowerDataSource::sensor;
  s.inputSource = PowerDataSource::sensor;
  EXPECT_TRUE(s.liveCurrents());
  s.inputSource = PowerDataSource::systemCache;
  EXPECT_FALSE(s.liveCurrents());
  s.externalConnected = false;  // no adapter: its current does not matter
  EXPECT_TRUE(s.liveCurrents());
  s.batteryAmps.reset();
  EXPECT_FALSE(s.liveCurrents());
  s.batteryInstalled = false;
  EXPECT_TRUE(s.liveCurrents());
  s.available = false;
  EXPECT_FALSE(s.liveCurrents());
}

TEST(PowerSnapshotFreshness, LiveAgeLimitAndCachedAges) {
  PowerSnapshot live = battery(-1.0, false);
  live.batterySource = PowerDataSource::sensor;
  auto at = [&](double age, double interval) {
    return live.freshnessLabel(kNow + std::chrono::milliseconds(static_cast<long>(age * 1000)), interval);
  };
  EXPECT_EQ(at(3.0, 1).rfind("采样 ", 0), 0u);
  EXPECT_EQ(at(3.5, 1), "3 秒未采样");
  EXPECT_EQ(at(10.0, 5).rfind("采样 ", 0), 0u);
  EXPECT_EQ(at(12.9, 5), "12 秒未采样");
  EXPECT_EQ(at(-30, 1).rfind("采样 ", 0), 0u);  // a clock set back is not "unsampled"

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

TEST(PowerSnapshotDemo, FourScenes) {
  PowerSnapshot charging = PowerSnapshot::demo(0, kNow);
  EXPECT_EQ(charging.flow(), BatteryFlow::charging);
  EXPECT_DOUBLE_EQ(*charging.batteryAmps, 2.4);
  EXPECT_DOUBLE_EQ(*charging.percent, 76);
  EXPECT_DOUBLE_EQ(*charging.systemWatts, 20.0);
  EXPECT_EQ(charging.adapterRatedWatts, 96.0);
  EXPECT_EQ(charging.fanSpeeds, (std::vector<FanSpeed>{{0, 2320}, {1, 2500}}));
  EXPECT_EQ(charging.componentsUpdatedAt, kNow);
  EXPECT_FALSE(charging.batteryUpdatedAt.has_value());
  EXPECT_EQ(charging.systemSource, PowerDataSource::systemCache);

  PowerSnapshot onBattery = PowerSnapshot::demo(1, kNow);
  EXPECT_EQ(onBattery.flow(), BatteryFlow::discharging);
  EXPECT_EQ(onBattery.inputWatts, 0.0);
  EXPECT_EQ(onBattery.status(), "电池正在为电脑供电");
  EXPECT_EQ(PowerSnapshot::demo(2, kNow).flow(), BatteryFlow::idle);
  PowerSnapshot shared = PowerSnapshot::demo(3, kNow);
  EXPECT_EQ(shared.status(), "电源 + 电池共同供电");
  EXPECT_DOUBLE_EQ(*shared.inputWatts, 18.0);
  EXPECT_DOUBLE_EQ(*shared.cpuWatts, 11.4);
}
