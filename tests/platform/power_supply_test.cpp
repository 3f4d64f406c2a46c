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

}  // namespace
}  // namespace wattline
