#include <gtest/gtest.h>

#include <tuple>

#include "readers/power_fusion.h"

namespace wattline {
namespace {

const Date kAt = dateFromSeconds(1.8e9);
const Date kRegistryTime = dateFromSeconds(1.8e9 - 20);

PowerSnapshot registry() {
  PowerSnapshot s;
  s.timestamp = kRegistryTime;
  s.available = true;
  s.batteryInstalled = true;
  s.externalConnected = true;
  std::tie(s.batteryVolts, s.batteryAmps, s.batteryWatts) = std::make_tuple(12.6, 0.5, 6.3);
  std::tie(s.inputVolts, s.inputAmps, s.inputWatts) = std::make_tuple(20.0, 2.0, 40.0);
  s.adapterRatedWatts = 96.0;
  s.systemWatts = 33.7;
  s.systemEstimated = true;
  s.displayWatts = 9.0;
  s.percent = 80;
  s.inputAmpsEstimated = true;
  s.batteryUpdatedAt = s.inputUpdatedAt = s.systemUpdatedAt = kRegistryTime;
  s.displayUpdatedAt = s.detailSensorsUpdatedAt = kRegistryTime;
  return s;
}

TEST(PowerFusion, BatteryNeedsAgreeingVoltage) {
  LiveSensorReadings live;
  live.batteryAmps = -1.5;
  live.batteryVolts = 12.1;
  auto fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_DOUBLE_EQ(*fused.batteryWatts, -18.15);
  EXPECT_EQ(fused.batterySource, PowerDataSource::sensor);
  EXPECT_EQ(fused.batteryUpdatedAt, kAt);

  live.batteryVolts = 9.5;
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.batteryVolts, 12.6);
  EXPECT_EQ(fused.batterySource, PowerDataSource::systemCache);
  EXPECT_EQ(fused.batteryUpdatedAt, kRegistryTime);

  live.batteryVolts = 14.6;  // exactly 2 V apart is rejected
  EXPECT_EQ(PowerFusion::merge(registry(), live, std::nullopt, kAt).batterySource,
            PowerDataSource::systemCache);

  auto other = registry();
  other.batteryVolts.reset();
  live.batteryVolts = 9.5;
  EXPECT_EQ(PowerFusion::merge(other, live, std::nullopt, kAt).batteryVolts, 9.5);
  other.batteryInstalled = false;
  EXPECT_EQ(PowerFusion::merge(other, live, std::nullopt, kAt).batterySource, PowerDataSource::systemCache);
}

TEST(PowerFusion, InputFollowsProvidingSourceAndSensors) {
  LiveSensorReadings live;
  auto fused = PowerFusion::merge(registry(), live, false, kAt);
  // Absent replaces the registry's values and update times.
  EXPECT_EQ(std::tie(fused.displayWatts, fused.displayUpdatedAt, fused.detailSensorsUpdatedAt),
            std::make_tuple(std::nullopt, std::nullopt, std::nullopt));
  EXPECT_FALSE(fused.externalConnected);
  EXPECT_EQ(fused.inputAmps, 0.0);
  EXPECT_EQ(fused.inputWatts, 0.0);
  EXPECT_EQ(fused.inputVolts, std::nullopt);
  EXPECT_EQ(fused.adapterRatedWatts, std::nullopt);

  live.inputAmps = 1.5;
  live.inputVolts = 20.0;
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.inputWatts, 30.0);
  EXPECT_TRUE(fused.inputWattsEstimated);
  EXPECT_FALSE(fused.inputAmpsEstimated);  // the amperes are measured now
  EXPECT_EQ(fused.inputSource, PowerDataSource::sensor);
  EXPECT_EQ(fused.inputUpdatedAt, kAt);
  EXPECT_EQ(fused.adapterRatedWatts, 96.0);

  live.inputWatts = 29.0;
  live.displayWatts = 3.2;
  live.fanSpeeds = {{1, 2000}};
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.inputWatts, 29.0);
  EXPECT_FALSE(fused.inputWattsEstimated);
  EXPECT_EQ(fused.displayWatts, 3.2);
  EXPECT_EQ(fused.fanSpeeds, live.fanSpeeds);
  EXPECT_EQ(std::tie(fused.displayUpdatedAt, fused.detailSensorsUpdatedAt), std::make_tuple(kAt, kAt));

  live.inputVolts = 0.0;
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.inputWatts, 40.0);
  EXPECT_EQ(fused.inputSource, PowerDataSource::systemCache);
}

TEST(PowerFusion, SystemFromSensorOrFusedFlows) {
  LiveSensorReadings live;
  live.batteryAmps = 0.4;
  live.batteryVolts = 12.5;  // +5 W
  live.inputAmps = 1.5;
  live.inputVolts = 20.0;  // 30 W
  auto fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_DOUBLE_EQ(*fused.systemWatts, 25.0);
  EXPECT_TRUE(fused.systemEstimated);
  EXPECT_EQ(fused.systemSource, PowerDataSource::sensor);

  live.inputAmps = 0.15;  // 3 W in, 5 W into the battery: not derived, not clamped
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.systemWatts, 33.7);
  EXPECT_EQ(fused.systemSource, PowerDataSource::systemCache);

  live.inputAmps.reset();  // input still from the registry
  EXPECT_EQ(PowerFusion::merge(registry(), live, std::nullopt, kAt).systemSource,
            PowerDataSource::systemCache);

  live.batteryAmps = -0.64;  // -8 W on battery
  fused = PowerFusion::merge(registry(), live, false, kAt);
  EXPECT_DOUBLE_EQ(*fused.systemWatts, 8.0);
  EXPECT_EQ(fused.systemSource, PowerDataSource::sensor);

  live.systemWatts = 11.0;
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(fused.systemWatts, 11.0);
  EXPECT_FALSE(fused.systemEstimated);
}

// On battery alone the discharge is a measurement of the whole system: a platform counter reading
// well below it (by more than 10 % and 0.5 W) is not wired or not counting, and the battery's value stands.
TEST(PowerFusion, PlatformPowerBelowTheBatteryDischargeIsNotUsed) {
  struct Case {
    double batteryWatts;
    std::optional<bool> external;
    double platformWatts;
    double systemWatts;
    bool estimated;
  };
  for (const auto& c : std::vector<Case>{
           {-18.0, false, 0.0, 18.0, true},  // a counter that does not move
           {-18.0, false, 15.0, 18.0, true},
           {-18.0, false, 16.3, 16.3, false},  // within 10 %
           {-18.0, false, 21.0, 21.0, false},  // above the discharge: the battery need not carry it all
           {-3.0, false, 2.6, 2.6, false},     // more than 10 % but within 0.5 W
           {-3.0, false, 2.4, 3.0, true},
           {-18.0, true, 0.0, 0.0, false},  // on the adapter the discharge is no measure of the system
       }) {
    LiveSensorReadings live;
    live.batteryAmps = c.batteryWatts / 12.0;
    live.batteryVolts = 12.0;
    live.systemWatts = c.platformWatts;
    const auto fused = PowerFusion::merge(registry(), live, c.external, kAt);
    EXPECT_NEAR(fused.systemWatts.value_or(-1), c.systemWatts, 1e-9) << c.platformWatts;
    EXPECT_EQ(fused.systemEstimated, c.estimated) << c.platformWatts;
    EXPECT_EQ(fused.systemSource, PowerDataSource::sensor);
  }
}

}  // namespace
}  // namespace wattline
