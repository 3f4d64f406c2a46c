#include <gtest/gtest.h>

#include <limits>

#include "base/power_snapshot.h"

using namespace wattline;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot parse(const PropertyTable& table) {
  return PowerSnapshot::parse(table, kNow);
}

}  // namespace

TEST(RegistryDecoding, EmptyTableAndSignedCurrent) {
  PowerSnapshot empty = parse({});
  EXPECT_FALSE(empty.available || empty.batteryInstalled || empty.externalConnected || empty.inputVolts);
  EXPECT_EQ(std::make_tuple(empty.inputAmps, empty.inputWatts, empty.systemWatts),
            std::make_tuple(0.0, 0.0, 0.0));
  EXPECT_TRUE(empty.systemEstimated);
  EXPECT_EQ(empty.timestamp, kNow);
  PowerSnapshot s = parse({{"Voltage", 12000}, {"InstantAmperage", 4294967296ULL - 1000}});
  EXPECT_TRUE(s.batteryInstalled);  // "Voltage" alone means a battery
  EXPECT_DOUBLE_EQ(*s.batteryAmps, -1.0);
  EXPECT_DOUBLE_EQ(*s.batteryWatts, -12.0);
  // A 64-bit negative number is already signed; beyond 30 A, or not a number, "Amperage" is used instead.
  const std::pair<PropertyValue, double> currents[] = {
      {-2500, -2.5},           {30000, 30},   {-30000, -30}, {40000, 1.5}, {~0ULL - 40000, 1.5},
      {(1ULL << 32) + 5, 1.5}, {"-1000", 1.5}};
  for (const auto& [instant, amps] : currents)
    EXPECT_EQ(parse({{"Voltage", 12000}, {"InstantAmperage", instant}, {"Amperage", 1500}}).batteryAmps,
              amps);
  EXPECT_FALSE(
      parse({{"BatteryInstalled", true}, {"Amperage", std::numeric_limits<double>::infinity()}}).batteryAmps);
  // Without a voltage there is no power.
  PowerSnapshot noVolts = parse({{"BatteryInstalled", true}, {"InstantAmperage", 500}});
  EXPECT_DOUBLE_EQ(*noVolts.batteryAmps, 0.5);
  EXPECT_FALSE(noVolts.batteryWatts || noVolts.systemWatts);  // battery installed without its power: unknown
}

TEST(RegistryDecoding, BatteryQuantitiesAndLimits) {
  auto percent = [](int current, int max) {
    return parse({{"BatteryInstalled", true}, {"CurrentCapacity", current}, {"MaxCapacity", max}}).percent;
  };
  EXPECT_EQ(percent(105, 100), 100.0);
  EXPECT_EQ(percent(3000, 6000), 50.0);
  EXPECT_FALSE(percent(50, 0) || percent(1000001, 100) || percent(-50, 100));  // negative numbers refused
  auto volts = [](int mv) { return parse({{"BatteryInstalled", true}, {"Voltage", mv}}).batteryVolts; };
  EXPECT_FALSE(volts(0) || volts(100001));
  EXPECT_DOUBLE_EQ(*volts(12400), 12.4);
  // A battery reported absent keeps no battery values even when they are there.
  PowerSnapshot absent = parse({{"BatteryInstalled", false}, {"Voltage", 12400}, {"InstantAmperage", 100}});
  EXPECT_FALSE(absent.batteryInstalled || absent.batteryVolts || absent.batteryAmps);
  // A non-boolean "BatteryInstalled" falls back to the presence of "Voltage".
  EXPECT_FALSE(parse({{"BatteryInstalled", 1}}).batteryInstalled);
}

TEST(RegistryDecoding, InputDerivations) {
  // An adapter connected, reporting `telemetry`, with further entries `more`.
  auto adapter = [](PropertyTable telemetry, PropertyTable more = {}) {
    more.insert_or_assign("ExternalConnected", true);
    more.insert_or_assign("PowerTelemetryData", std::move(telemetry));
    return parse(more);
  };
  PowerSnapshot s = adapter({{"SystemPowerIn", 45000}, {"SystemVoltageIn", 20000}},
                            {{"AdapterDetails", PropertyTable{{"Watts", 96}}}});
  EXPECT_EQ(std::make_tuple(s.inputWatts, s.inputVolts, s.inputAmps, s.adapterRatedWatts),
            std::make_tuple(45.0, 20.0, 2.25, 96.0));
  EXPECT_TRUE(s.inputAmpsEstimated && !s.inputWattsEstimated);
  PowerSnapshot product = adapter({{"SystemCurrentIn", 2000}, {"SystemVoltageIn", 20000}});
  EXPECT_EQ(product.inputWatts, 40.0);
  EXPECT_TRUE(product.inputWattsEstimated && !product.inputAmpsEstimated);
  PowerSnapshot zeroCurrent = adapter({{"SystemCurrentIn", 0}});
  EXPECT_EQ(zeroCurrent.inputAmps, 0.0);                            // zero is a reading here
  EXPECT_FALSE(zeroCurrent.inputWatts || zeroCurrent.systemWatts);  // external without input power: unknown
  PowerSnapshot limits = adapter({{"SystemVoltageIn", 0}, {"SystemCurrentIn", 30001}},
                                 {{"AdapterDetails", PropertyTable{{"Watts", 1001}}}});
  EXPECT_FALSE(limits.adapterRatedWatts || limits.inputVolts || limits.inputAmps);
  EXPECT_FALSE(adapter({{"SystemCurrentIn", -2000}}).inputAmps);
  // A telemetry entry that is not a table reads as an empty one.
  EXPECT_FALSE(parse({{"ExternalConnected", true}, {"PowerTelemetryData", 5}}).inputWatts);
}

TEST(RegistryDecoding, SystemPower) {
  auto external = [](PropertyTable telemetry) {
    return parse({{"ExternalConnected", true},
                  {"Voltage", 10000},
                  {"InstantAmperage", 1000},
                  {"PowerTelemetryData", std::move(telemetry)}});
  };
  PowerSnapshot charging = external({{"SystemPowerIn", 40000}});
  EXPECT_EQ(charging.systemWatts, 30.0);
  EXPECT_TRUE(charging.systemEstimated);
  EXPECT_EQ(external({{"SystemPowerIn", 5000}}).systemWatts, 0.0);  // clamped, never negative
  PowerSnapshot discharging = parse({{"Voltage", 10000}, {"InstantAmperage", -1000}});
  EXPECT_EQ(discharging.systemWatts, 10.0);
  EXPECT_EQ(discharging.inputWatts, 0.0);
  PowerSnapshot load = external({{"SystemPowerIn", 40000}, {"SystemLoad", 27920}});
  EXPECT_DOUBLE_EQ(*load.systemWatts, 27.92);
  EXPECT_FALSE(load.systemEstimated);
  EXPECT_EQ(load.systemSource, PowerDataSource::systemCache);
}

TEST(RegistryDecoding, UpdateTimeStampsAllThreeGroups) {
  double now = secondsSince1970(kNow);
  PowerSnapshot fresh = parse({{"UpdateTime", now + 3}});
  EXPECT_EQ(fresh.batteryUpdatedAt, dateFromSeconds(now + 3));
  EXPECT_TRUE(fresh.inputUpdatedAt == fresh.batteryUpdatedAt &&
              fresh.systemUpdatedAt == fresh.batteryUpdatedAt);
  for (PropertyValue rejected : {PropertyValue(now + 10), PropertyValue(978307200), PropertyValue(true)})
    EXPECT_FALSE(parse({{"UpdateTime", rejected}}).batteryUpdatedAt);
  EXPECT_TRUE(parse({{"UpdateTime", 978307201}}).batteryUpdatedAt);
}
