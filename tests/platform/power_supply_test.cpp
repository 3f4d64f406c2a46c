#include <gtest/gtest.h>

#include "platform/linux/power_supply.h"
#include "platform/testing/fixture_tree.h"

namespace wattline {
namespace {

const Date kReadAt = dateFromSeconds(1'800'000'000.75);

std::string fixture(const std::string& name) {
  return std::string(WATTLINE_FIXTURES) + "/sysfs/" + name;
}

PropertyTable tableOf(const std::string& root) {
  auto table = batteryPropertyTable(readPowerSupplies(root), kReadAt);
  EXPECT_TRUE(table.has_value()) << root;
  return table.value_or(PropertyTable{});
}

std::optional<double> number(const PropertyTable& table, const std::string& key) {
  const auto it = table.find(key);
  return it == table.end() ? std::nullopt : it->second.doubleValue();
}

// Readings of each fixture machine are checked through the power reader; here what it cannot tell apart.
TEST(PowerSupplyTable, SuppliesOfTheFixtureMachines) {
  const auto supplies = readPowerSupplies(fixture("laptop-battery"));
  ASSERT_EQ(supplies.size(), 2u);  // the mouse's own battery is not the system's
  EXPECT_EQ(providingSourceType(supplies), "Battery Power");
  const auto garbage = readPowerSupplies(fixture("bad-values"));
  ASSERT_EQ(garbage.size(), 2u);                          // the UPS and the entry without a type are left out
  EXPECT_EQ(providingSourceType(garbage), std::nullopt);  // the mains state is unknown
  auto table = tableOf(fixture("bad-values"));
  EXPECT_EQ(table.at("BatteryInstalled").boolean(), true);  // "yes" is no 0
  for (const char* key :
       {"ExternalConnected", "Voltage", "InstantAmperage", "CurrentCapacity", "MaxCapacity"})
    EXPECT_FALSE(table.contains(key)) << key;
  EXPECT_EQ(batteryPropertyTable(readPowerSupplies(fixture("no-such-machine")), kReadAt), std::nullopt);

  table = tableOf(fixture("laptop-charging"));
  EXPECT_EQ(number(table, "CurrentCapacity"), 3000);  // mAh when only charge is known
  EXPECT_EQ(number(table, "MaxCapacity"), 4000);
  EXPECT_FALSE(table.contains("AdapterDetails"));  // a mains supply without a rating
  EXPECT_EQ(number(tableOf(fixture("measured-mains")), "InstantAmperage"),
            0);  // "Full": the driver's own value
  table = tableOf(fixture("two-batteries"));
  EXPECT_EQ(number(table, "CurrentCapacity"), 30000);
  EXPECT_EQ(number(table, "MaxCapacity"), 45000);
  // Without energy on every battery: the mean percentage; a missing current leaves the sum out.
  testing::FixtureTree tree(fixture("two-batteries"));
  tree.remove("class/power_supply/BAT1/energy_now");
  tree.remove("class/power_supply/BAT1/current_now");
  table = tableOf(tree.root());
  EXPECT_EQ(number(table, "CurrentCapacity"), 65);
  EXPECT_EQ(number(table, "MaxCapacity"), 100);
  EXPECT_FALSE(table.contains("InstantAmperage"));
}

// Each battery's own current × voltage (or its own power) counts; the voltage reported with the summed
// current is the one that keeps their product the summed power.
TEST(PowerSupplyBatteries, SummedCurrentAndMatchingVoltage) {
  const auto battery = [](const char* status, std::optional<std::int64_t> microamps,
                          std::optional<std::int64_t> microvolts, std::optional<std::int64_t> microwatts) {
    SupplyEntry entry;
    entry.type = "Battery";
    std::tie(entry.status, entry.currentNow, entry.voltageNow, entry.powerNow) =
        std::make_tuple(status, microamps, microvolts, microwatts);
    return entry;
  };
  struct Case {
    std::vector<SupplyEntry> batteries;
    std::optional<double> milliamps, millivolts;
  };
  const auto none = std::nullopt;
  for (const auto& [batteries, milliamps, millivolts] : std::vector<Case>{
           {{battery("Discharging", 700000, 12300000, none), battery("Discharging", 500000, 11900000, none)},
            -1200,
            14560.0 / 1.2},
           // The first battery reports its power instead of its voltage.
           {{battery("Discharging", 700000, none, 8610000), battery("Discharging", 500000, 11900000, none)},
            -1200,
            14560.0 / 1.2},
           // One charging the other: no current in sum, the plain mean voltage.
           {{battery("Charging", 500000, 12000000, none), battery("Discharging", 500000, 11000000, none)},
            0,
            11500},
           // A battery without a current leaves the sums out; the voltages still have their mean.
           {{battery("Discharging", 700000, 12300000, none), battery("Discharging", none, 11900000, none)},
            none,
            12100},
           {{battery("Discharging", 700000, 12300000, none), battery("Discharging", 500000, none, none)},
            -1200,
            none},
       }) {
    EXPECT_EQ(batteryMilliamps(batteries), milliamps);
    EXPECT_NEAR(batteryMillivolts(batteries).value_or(-1), millivolts.value_or(-1), 1e-6);
  }
}

}  // namespace
}  // namespace wattline
