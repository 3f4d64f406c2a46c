#include <gtest/gtest.h>

#include <limits>

#include "power/power_snapshot.h"

using namespace wattline;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot parse(const PropertyTable& table) {
  return PowerSnapshot::parse(table, kNow);
}

}  // namespace

TEST(RegistryDecoding, EmptyTable) {
  PowerSnapshot s = parse({});
  EXPECT_FALSE(s.available);
  EXPECT_FALSE(s.batteryInstalled);
  EXPECT_FALSE(s.externalConnected);
  EXPECT_EQ(s.inputAmps, 0.0);
  EXPECT_EQ(s.inputWatts, 0.0);
  EXPECT_FALSE(s.inputVolts);
  EXPECT_EQ(s.systemWatts, 0.0);
  EXPECT_TRUE(s.systemEstimated);
  EXPECT_EQ(s.timestamp, kNow);
}

TEST(RegistryDecoding, SignedCurrentKeepsTheSignOf32BitValues) {
  PowerSnapshot s = parse({{"Voltage", 12000}, {"InstantAmperage", 4294967296ULL - 1000}});
  EXPECT_TRUE(s.batteryInstalled);  // "Voltage" alone means a battery
  EXPECT_DOUBLE_EQ(*s.batteryAmps, -1.0);
  EXPECT_DOUBLE_EQ(*s.batteryWatts, -12.0);

  // A 64-bit negative number is already signed.
  EXPECT_DOUBLE_EQ(*parse({{"Voltage", 12000}, {"InstantAmperage", -2500}}).batteryAmps, -2.5);
  // Above 30 A the reading is rejected and "Amperage" is used instead.
  PowerSnapshot fallback = parse({{"Voltage", 12000}, {"InstantAmperage", 40000}, {"Amperage", 1500}});
  EXPECT_DOUBLE_EQ(*fallback.batteryAmps, 1.5);
  EXPECT_FALSE(parse({{"Voltage", 12000}, {"InstantAmperage", 4294967296ULL + 5}}).batteryAmps);
  EXPECT_FALSE(parse({{"Voltage", 12000}, {"InstantAmperage", 18446744073709551615ULL - 40000}}).batteryAmps);
  EXPECT_DOUBLE_EQ(*parse({{"Voltage", 12000}, {"InstantAmperage", 30000}}).batteryAmps, 30.0);
  EXPECT_DOUBLE_EQ(*parse({{"Voltage", 12000}, {"InstantAmperage", -30000}}).batteryAmps, -30.0);
  // Text and non-finite values are not currents; without a voltage there is no power.
  PowerSnapshot text = parse({{"BatteryInstalled", true},
                              {"InstantAmperage", "-1000"},
                              {"Amperage", std::numeric_limits<double>::infinity()}});
  EXPECT_FALSE(text.batteryAmps);
  PowerSnapshot noVolts = parse({{"BatteryInstalled", true}, {"InstantAmperage", 500}});
  EXPECT_DOUBLE_EQ(*noVolts.batteryAmps, 0.5);
  EXPECT_FALSE(noVolts.batteryWatts);
  EXPECT_FALSE(noVolts.systemWatts);  // battery installed without its power: unknown
}

TEST(RegistryDecoding, BatteryQuantitiesAndLimits) {
  PowerSnapshot full = parse({{"BatteryInstalled", true}, {"CurrentCapacity", 105}, {"MaxCapacity", 100}});
  EXPECT_EQ(full.percent, 100.0);
  EXPECT_FALSE(parse({{"BatteryInstalled", true}, {"CurrentCapacity", 50}, {"MaxCapacity", 0}}).percent);
  EXPECT_DOUBLE_EQ(
      *parse({{"BatteryInstalled", true}, {"CurrentCapacity", 3000}, {"MaxCapacity", 6000}}).percent, 50.0);
  EXPECT_FALSE(
      parse({{"BatteryInstalled", true}, {"CurrentCapacity", 1000001}, {"MaxCapacity", 100}}).percent);
  EXPECT_FALSE(parse({{"BatteryInstalled", true}, {"Voltage", 0}}).batteryVolts);
  EXPECT_FALSE(parse({{"BatteryInstalled", true}, {"Voltage", 100001}}).batteryVolts);
  EXPECT_DOUBLE_EQ(*parse({{"BatteryInstalled", true}, {"Voltage", 12400}}).batteryVolts, 12.4);
  // A battery reported absent keeps no battery values even when they are there.
  PowerSnapshot absent = parse({{"BatteryInstalled", false}, {"Voltage", 12400}, {"InstantAmperage", 100}});
  EXPECT_FALSE(absent.batteryInstalled);
  EXPECT_FALSE(absent.batteryVolts);
  EXPECT_FALSE(absent.batteryAmps);
  // A non-boolean "BatteryInstalled" falls back to the presence of "Voltage".
  EXPECT_FALSE(parse({{"BatteryInstalled", 1}}).batteryInstalled);
}

TEST(RegistryDecoding, InputDerivations) {
  PropertyTable powerOnly{
      {"ExternalConnected", true},
      {"AdapterDetails", PropertyTable{{"Watts", 96}}},
      {"PowerTelemetryData", PropertyTable{{"SystemPowerIn", 45000}, {"SystemVoltageIn", 20000}}}};
  PowerSnapshot s = parse(powerOnly);
  EXPECT_DOUBLE_EQ(*s.inputWatts, 45.0);
  EXPECT_DOUBLE_EQ(*s.inputVolts, 20.0);
  EXPECT_DOUBLE_EQ(*s.inputAmps, 2.25);
  EXPECT_TRUE(s.inputAmpsEstimated);
  EXPECT_FALSE(s.inputWattsEstimated);
  EXPECT_EQ(s.adapterRatedWatts, 96.0);

  PowerSnapshot product =
      parse({{"ExternalConnected", true},
             {"PowerTelemetryData", PropertyTable{{"SystemCurrentIn", 2000}, {"SystemVoltageIn", 20000}}}});
  EXPECT_DOUBLE_EQ(*product.inputWatts, 40.0);
  EXPECT_TRUE(product.inputWattsEstimated);
  EXPECT_FALSE(product.inputAmpsEstimated);

  PowerSnapshot zeroCurrent =
      parse({{"ExternalConnected", true}, {"PowerTelemetryData", PropertyTable{{"SystemCurrentIn", 0}}}});
  EXPECT_EQ(zeroCurrent.inputAmps, 0.0);  // zero is a reading here
  EXPECT_FALSE(zeroCurrent.inputWatts);
  EXPECT_FALSE(zeroCurrent.systemWatts);  // external without input power: unknown

  PowerSnapshot limits =
      parse({{"ExternalConnected", true},
             {"AdapterDetails", PropertyTable{{"Watts", 1001}}},
             {"PowerTelemetryData", PropertyTable{{"SystemVoltageIn", 0}, {"SystemCurrentIn", 30001}}}});
  EXPECT_FALSE(limits.adapterRatedWatts);
  EXPECT_FALSE(limits.inputVolts);
  EXPECT_FALSE(limits.inputAmps);
  // A telemetry entry that is not a table reads as an empty one.
  EXPECT_FALSE(parse({{"ExternalConnected", true}, {"PowerTelemetryData", 5}}).inputWatts);
}

TEST(RegistryDecoding, SystemPower) {
  auto external = [](int powerIn, int amps) {
    return PropertyTable{{"ExternalConnected", true},
                         {"Voltage", 10000},
                         {"InstantAmperage", amps},
                         {"PowerTelemetryData", PropertyTable{{"SystemPowerIn", powerIn}}}};
  };
  PowerSnapshot charging = parse(external(40000, 1000));
  EXPECT_DOUBLE_EQ(*charging.systemWatts, 30.0);
  EXPECT_TRUE(charging.systemEstimated);
  EXPECT_EQ(parse(external(5000, 1000)).systemWatts, 0.0);  // clamped, never negative

  PowerSnapshot discharging = parse({{"Voltage", 10000}, {"InstantAmperage", -1000}});
  EXPECT_DOUBLE_EQ(*discharging.systemWatts, 10.0);
  EXPECT_EQ(discharging.inputWatts, 0.0);

  PropertyTable withLoad = external(40000, 1000);
  withLoad.insert_or_assign("PowerTelemetryData",
                            PropertyTable{{"SystemPowerIn", 40000}, {"SystemLoad", 27920}});
  PowerSnapshot load = parse(withLoad);
  EXPECT_DOUBLE_EQ(*load.systemWatts, 27.92);
  EXPECT_FALSE(load.systemEstimated);
  EXPECT_EQ(load.systemSource, PowerDataSource::systemCache);
}

TEST(RegistryDecoding, UpdateTimeStampsAllThreeGroups) {
  double now = secondsSince1970(kNow);
  PowerSnapshot fresh = parse({{"UpdateTime", now + 3}});
  EXPECT_EQ(fresh.batteryUpdatedAt, dateFromSeconds(now + 3));
  EXPECT_EQ(fresh.inputUpdatedAt, fresh.batteryUpdatedAt);
  EXPECT_EQ(fresh.systemUpdatedAt, fresh.batteryUpdatedAt);
  EXPECT_FALSE(parse({{"UpdateTime", now + 10}}).batteryUpdatedAt);
  EXPECT_FALSE(parse({{"UpdateTime", 978307200}}).batteryUpdatedAt);
  EXPECT_TRUE(parse({{"UpdateTime", 978307201}}).batteryUpdatedAt);
  EXPECT_FALSE(parse({{"UpdateTime", true}}).batteryUpdatedAt);
}
