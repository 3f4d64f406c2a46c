#include <gtest/gtest.h>

#include "platform/linux/power_supply.h"
#include "platform/linux/power_supply_registry.h"
#include "platform/linux/sysfs_file.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"

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

// A number at `key`, or at `inner` in the table at `key`.
std::optional<double> number(const PropertyTable& table, const std::string& key,
                             const std::string& inner = "") {
  const auto it = table.find(key);
  if (it == table.end()) return std::nullopt;
  if (inner.empty()) return it->second.doubleValue();
  return it->second.table() ? number(*it->second.table(), inner) : std::nullopt;
}

std::optional<bool> flag(const PropertyTable& table, const std::string& key) {
  const auto it = table.find(key);
  return it == table.end() ? std::nullopt : it->second.boolean();
}

TEST(PowerSupplyTable, BatteriesAndSigns) {
  const auto supplies = readPowerSupplies(fixture("laptop-battery"));
  ASSERT_EQ(supplies.size(), 2u);  // the mouse's own battery is not the system's
  auto table = tableOf(fixture("laptop-battery"));
  EXPECT_EQ(flag(table, "BatteryInstalled"), true);
  EXPECT_EQ(flag(table, "ExternalConnected"), false);
  EXPECT_EQ(number(table, "Voltage"), 12000);
  EXPECT_EQ(number(table, "InstantAmperage"), -1500);  // the driver's positive current, discharging
  EXPECT_EQ(number(table, "CurrentCapacity"), 80);
  EXPECT_EQ(number(table, "MaxCapacity"), 100);
  EXPECT_EQ(number(table, "UpdateTime"), 1'800'000'000);
  EXPECT_FALSE(table.contains("AdapterDetails"));
  EXPECT_FALSE(table.contains("PowerTelemetryData"));
  EXPECT_EQ(providingSourceType(supplies), "Battery Power");

  table = tableOf(fixture("laptop-charging"));
  EXPECT_EQ(flag(table, "ExternalConnected"), true);
  EXPECT_EQ(number(table, "InstantAmperage"), 2000);  // the driver's negative current, charging
  EXPECT_EQ(number(table, "CurrentCapacity"), 3000);  // mAh when only charge is known
  EXPECT_EQ(number(table, "MaxCapacity"), 4000);
  EXPECT_FALSE(table.contains("AdapterDetails"));  // a mains supply without a rating
  EXPECT_EQ(providingSourceType(readPowerSupplies(fixture("laptop-charging"))), "AC Power");

  table = tableOf(fixture("battery-power-only"));
  EXPECT_EQ(number(table, "CurrentCapacity"), 30000);
  EXPECT_EQ(number(table, "MaxCapacity"), 60000);

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

TEST(PowerSupplyTable, AdaptersDesktopAndGarbage) {
  auto table = tableOf(fixture("usb-c-pd"));
  EXPECT_DOUBLE_EQ(*number(table, "AdapterDetails", "Watts"), 65.0);  // 20 V negotiated x 3.25 A
  EXPECT_FALSE(table.contains("PowerTelemetryData"));  // the contract current is no measurement

  // Online 2, a programmable supply; its measured input is checked through the reader.
  table = tableOf(fixture("measured-mains"));
  EXPECT_DOUBLE_EQ(*number(table, "AdapterDetails", "Watts"), 90.0);
  EXPECT_EQ(number(table, "InstantAmperage"), 0);  // "Full": the driver's own value

  EXPECT_EQ(batteryPropertyTable(readPowerSupplies(fixture("desktop")), kReadAt), std::nullopt);
  EXPECT_EQ(batteryPropertyTable(readPowerSupplies(fixture("no-such-machine")), kReadAt), std::nullopt);
  EXPECT_EQ(providingSourceType(readPowerSupplies(fixture("desktop"))), std::nullopt);

  const auto supplies = readPowerSupplies(fixture("bad-values"));
  ASSERT_EQ(supplies.size(), 2u);  // the UPS and the entry without a type are left out
  table = tableOf(fixture("bad-values"));
  EXPECT_EQ(flag(table, "BatteryInstalled"), true);  // "yes" is no 0
  for (const char* key :
       {"ExternalConnected", "Voltage", "InstantAmperage", "CurrentCapacity", "MaxCapacity"})
    EXPECT_FALSE(table.contains(key)) << key;
  EXPECT_EQ(providingSourceType(supplies), std::nullopt);  // the mains state is unknown
}

TEST(SysfsFile, ParsingAndOrder) {
  EXPECT_EQ(sysfs::parseInteger(" 42\n"), 42);
  EXPECT_EQ(sysfs::parseInteger("-7"), -7);
  for (const char* bad : {"", "\n", "12 V", "1e3", "99999999999999999999", "0x10"})
    EXPECT_EQ(sysfs::parseInteger(bad), std::nullopt) << bad;
  EXPECT_EQ(sysfs::list(fixture("laptop-battery") + "/class/hwmon"),
            (std::vector<std::string>{"hwmon0", "hwmon2", "hwmon10"}));
  EXPECT_EQ(sysfs::readText(fixture("battery-power-only") + "/class/power_supply/BAT1/current_now").status,
            sysfs::ReadStatus::failed);
  EXPECT_EQ(sysfs::readText(fixture("laptop-battery") + "/nothing").status, sysfs::ReadStatus::missing);
}

TEST(PowerSupplyScanner, OneReadPerSample) {
  testing::ManualScheduler scheduler;
  testing::ManualClock clock(scheduler, kReadAt);
  testing::FixtureTree tree(fixture("laptop-charging"));
  auto scanner = std::make_shared<PowerSupplyScanner>(tree.root(), clock);
  PowerSupplyRegistry registry(scanner);
  PowerSupplySources sources(scanner);

  EXPECT_EQ(registry.matchingService("AppleCLPC"), nullptr);
  auto battery = registry.matchingService("AppleSmartBattery");
  ASSERT_NE(battery, nullptr);
  EXPECT_EQ(battery->copyProperties().result, 0);
  EXPECT_EQ(battery->property("Voltage")->doubleValue(), 12600);
  EXPECT_EQ(battery->entryID(), std::nullopt);

  tree.write("class/power_supply/ADP1/online", "0");
  EXPECT_EQ(sources.providingSourceType(), "AC Power");  // same sample
  scheduler.advance(1.0);
  EXPECT_EQ(sources.providingSourceType(), "Battery Power");
  tree.write("class/power_supply/ADP1/online", "1");
  const auto properties = registry.matchingService("AppleSmartBattery")->copyProperties();
  EXPECT_EQ(flag(*properties.table, "ExternalConnected"), true);  // the registry always reads anew
}

}  // namespace
}  // namespace wattline
