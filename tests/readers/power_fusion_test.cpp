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
  struct Case {
    std::optional<double> registryVolts;
    bool installed;
    double liveVolts;
    bool taken;
  };
  // Exactly 2 V apart is rejected; without a registry voltage nothing disagrees.
  for (const Case& c :
       {Case{12.6, true, 12.1, true}, Case{12.6, true, 9.5, false}, Case{12.6, true, 14.6, false},
        Case{std::nullopt, true, 9.5, true}, Case{std::nullopt, false, 9.5, false}}) {
    PowerSnapshot from = registry();
    from.batteryVolts = c.registryVolts;
    from.batteryInstalled = c.installed;
    LiveSensorReadings live;
    std::tie(live.batteryAmps, live.batteryVolts) = std::make_tuple(-1.5, c.liveVolts);
    const auto fused = PowerFusion::merge(from, live, std::nullopt, kAt);
    const auto expected = c.taken ? std::make_tuple(PowerDataSource::sensor, std::optional(c.liveVolts),
                                                    std::optional(-1.5 * c.liveVolts), std::optional(kAt))
                                  : std::make_tuple(PowerDataSource::systemCache, c.registryVolts,
                                                    std::optional(6.3), std::optional(kRegistryTime));
    EXPECT_EQ(std::tie(fused.batterySource, fused.batteryVolts, fused.batteryWatts, fused.batteryUpdatedAt),
              expected)
        << c.liveVolts;
  }
}

TEST(PowerFusion, InputFollowsProvidingSourceAndSensors) {
  // Off the adapter, and without live display, Wi-Fi or fans, the registry's values and times go.
  auto fused = PowerFusion::merge(registry(), {}, false, kAt);
  EXPECT_EQ(std::tie(fused.displayWatts, fused.displayUpdatedAt, fused.detailSensorsUpdatedAt),
            std::make_tuple(std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(std::tie(fused.externalConnected, fused.inputAmps, fused.inputWatts, fused.inputVolts,
                     fused.adapterRatedWatts),
            std::make_tuple(false, 0.0, 0.0, std::nullopt, std::nullopt));

  LiveSensorReadings live;
  std::tie(live.inputAmps, live.inputVolts) = std::make_tuple(1.5, 20.0);
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  // The amperes are measured now, the watts their product.
  EXPECT_EQ(std::tie(fused.inputWatts, fused.inputWattsEstimated, fused.inputAmpsEstimated, fused.inputSource,
                     fused.inputUpdatedAt, fused.adapterRatedWatts),
            std::make_tuple(30.0, true, false, PowerDataSource::sensor, kAt, 96.0));

  live.inputWatts = 29.0;
  live.displayWatts = 3.2;
  live.fanSpeeds = {{1, 2000}};  // one fan is enough to date the detail sensors
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(std::tie(fused.inputWatts, fused.inputWattsEstimated, fused.displayWatts, fused.fanSpeeds,
                     fused.displayUpdatedAt, fused.detailSensorsUpdatedAt),
            std::make_tuple(29.0, false, 3.2, live.fanSpeeds, kAt, kAt));

  live.inputVolts = 0.0;
  fused = PowerFusion::merge(registry(), live, std::nullopt, kAt);
  EXPECT_EQ(std::tie(fused.inputWatts, fused.inputSource),
            std::make_tuple(40.0, PowerDataSource::systemCache));
}

// System power: the platform's reading, else input minus battery when both flows are measured and the
// result is not negative. On battery alone the discharge is a measurement of the whole system: a platform
// counter reading well below it (by more than 10 % and 0.5 W) is not wired or not counting.
TEST(PowerFusion, SystemFromThePlatformOrTheMeasuredFlows) {
  using enum PowerDataSource;
  struct Case {
    double battery;
    std::optional<double> input, platform;
    std::optional<bool> external;  // absent: the registry's, on the adapter
    double system;
    bool estimated;
    PowerDataSource source;
  };
  const Case cases[] = {
      {5, 30, {}, {}, 25, true, sensor},
      {5, 3, {}, {}, 33.7, true, systemCache},   // 3 W in, 5 W into the battery: not derived, not clamped
      {5, {}, {}, {}, 33.7, true, systemCache},  // the input still from the registry
      {-8, {}, {}, false, 8, true, sensor},
      {-8, 30, 11, {}, 11, false, sensor},
      {-18, {}, 0.0, false, 18, true, sensor},  // a counter that does not move
      {-18, {}, 15, false, 18, true, sensor},
      {-18, {}, 16.3, false, 16.3, false, sensor},  // within 10 %
      {-18, {}, 21, false, 21, false, sensor},      // above the discharge: the battery need not carry it all
      {-3, {}, 2.6, false, 2.6, false, sensor},     // more than 10 % but within 0.5 W
      {-3, {}, 2.4, false, 3, true, sensor},
      {-18, {}, 0.0, true, 0, false, sensor},  // on the adapter the discharge is no measure of the system
  };
  for (const Case& c : cases) {
    LiveSensorReadings live;
    std::tie(live.batteryAmps, live.batteryVolts, live.systemWatts) =
        std::make_tuple(c.battery / 12, 12.0, c.platform);
    if (c.input) std::tie(live.inputAmps, live.inputVolts) = std::make_tuple(*c.input / 20, 20.0);
    const auto fused = PowerFusion::merge(registry(), live, c.external, kAt);
    EXPECT_NEAR(fused.systemWatts.value_or(-1), c.system, 1e-9)
        << c.battery << " " << c.platform.value_or(-1);
    EXPECT_EQ(std::make_tuple(fused.systemEstimated, fused.systemSource),
              std::make_tuple(c.estimated, c.source))
        << c.battery << " " << c.platform.value_or(-1);
  }
}

}  // namespace
}  // namespace wattline
