#include <gtest/gtest.h>

#include "platform/linux/linux_power_services.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/scripted_energy_reports.h"
#include "platform/testing/scripted_registry.h"
#include "platform/testing/scripted_smc.h"
#include "readers/power_reader.h"

namespace wattline {
namespace {

using testing::flt;
const Date kStart = dateFromSeconds(1'800'000'000);
constexpr char kNoBattery[] =
    "系统未提供电池数据（/sys/class/power_supply）。台式机或访问受限时，部分数据不可用。";

std::string fixture(const std::string& name) {
  return std::string(WATTLINE_FIXTURES) + "/sysfs/" + name;
}

// A reader over scripted services; the test keeps handles to script them.
class ScriptedReader : public ::testing::Test {
 protected:
  ScriptedReader() {
    PowerReaderServices services;
    services.clock = std::make_unique<testing::ManualClock>(scheduler, kStart);
    services.registry = std::make_unique<testing::ScriptedRegistry>();
    services.powerSources = std::make_unique<testing::ScriptedPowerSources>();
    clock = static_cast<testing::ManualClock*>(services.clock.get());
    registry = static_cast<testing::ScriptedRegistry*>(services.registry.get());
    sources = static_cast<testing::ScriptedPowerSources*>(services.powerSources.get());
    services.smc = std::make_unique<testing::ScriptedSmc>(smc);
    services.energyReports = std::make_unique<testing::ScriptedEnergyReports>(reports);
    reports.script().channels =
        std::vector<ReportChannel>{{"Energy Model", {}, "CPU Energy", "mJ", {}, {}, {}, {}}};
    reports.script().counters = {{{"Energy Model", "CPU Energy"}, 0}};
    reader = std::make_unique<LivePowerReader>(std::move(services));
  }

  testing::ManualScheduler scheduler;
  testing::ScriptedSmc smc;  // copies share the script
  testing::ScriptedEnergyReports reports;
  testing::ScriptedRegistry* registry = nullptr;
  testing::ScriptedPowerSources* sources = nullptr;
  testing::ManualClock* clock = nullptr;
  std::unique_ptr<LivePowerReader> reader;
};

TEST_F(ScriptedReader, NoBatteryServiceRegistryResultAndProvidingSource) {
  smc.script().values = {{"PSTR", flt(14.0f)}, {"wiPm", flt(0.5f)}};
  sources->type = "AC Power";
  auto snapshot = reader->read(false);
  // Detail keys only when asked.
  EXPECT_EQ(std::tie(snapshot.error, snapshot.available, snapshot.externalConnected, snapshot.systemWatts,
                     snapshot.wifiWatts),
            std::make_tuple(kNoBattery, false, true, 14.0, std::nullopt));
  EXPECT_EQ(reader->read(true).wifiWatts, 0.5);

  scheduler.advance(1.0);
  reports.script().counters[{"Energy Model", "CPU Energy"}] = 7000;
  snapshot = reader->read(false);  // components on every call
  EXPECT_EQ(std::tie(snapshot.cpuWatts, snapshot.componentsUpdatedAt), std::make_tuple(7.0, clock->now()));

  registry->services["AppleSmartBattery"].properties = {-5, PropertyTable{}};
  EXPECT_EQ(reader->read(false).error, "电源数据读取失败（-5），正在等待下次采样。");
  EXPECT_EQ(registry->released, 1);

  registry->services["AppleSmartBattery"].properties = {0, PropertyTable{{"BatteryInstalled", true},
                                                                         {"ExternalConnected", false},
                                                                         {"Voltage", 12000},
                                                                         {"InstantAmperage", 500}}};
  snapshot = reader->read(false);  // "AC Power" overrides the registry's flag, both ways
  EXPECT_EQ(std::tie(snapshot.error, snapshot.externalConnected, snapshot.batteryWatts),
            std::make_tuple(std::nullopt, true, 6.0));
  registry->services["AppleSmartBattery"].properties = {0, PropertyTable{{"ExternalConnected", true}}};
  sources->type = "Battery Power";
  EXPECT_FALSE(reader->read(false).externalConnected);
}

TEST_F(ScriptedReader, ControllerOpensAtMostEveryTenSeconds) {
  smc.script().refuseOpen = true;
  smc.script().values = {{"PSTR", flt(14.0f)}};
  reader->read(false);
  scheduler.advance(9.9);
  reader->read(false);
  EXPECT_EQ(smc.opens(), 1);
  scheduler.advance(0.1);
  smc.script().refuseOpen = false;
  EXPECT_EQ(reader->read(false).systemWatts, 14.0);
  EXPECT_EQ(smc.opens(), 2);
  scheduler.advance(60.0);
  reader->read(false);
  EXPECT_EQ(smc.opens(), 2);  // an open connection is kept

  // A transport failure drops the connection; the next read reopens at once.
  smc.script().transportFailures = {"PSTR"};
  EXPECT_EQ(reader->read(false).systemWatts, std::nullopt);
  EXPECT_EQ(smc.openTransports(), 0);
  smc.script().transportFailures.clear();
  EXPECT_EQ(reader->read(false).systemWatts, 14.0);
  EXPECT_EQ(smc.opens(), 3);
}

TEST(PowerReaderOnFixtures, LaptopOnBatteryEndToEnd) {
  testing::ManualScheduler scheduler;
  testing::FixtureTree tree(fixture("laptop-battery"));
  LivePowerReader reader(
      linuxPowerServices(tree.root(), std::make_unique<testing::ManualClock>(scheduler, kStart)));
  // The program's --snapshot check covers this machine's battery state and percentage.
  // System power from the battery until the platform counter has an interval.
  auto snapshot = reader.read(true);
  EXPECT_EQ(std::tie(snapshot.batteryVolts, snapshot.batteryWatts, snapshot.inputWatts, snapshot.systemWatts,
                     snapshot.systemEstimated, snapshot.fanSpeeds),
            std::make_tuple(12.0, -18.0, 0.0, 18.0, true, std::vector<FanSpeed>{{0, 2400}, {1, 0}}));

  scheduler.advance(1.0);
  tree.write("class/powercap/intel-rapl:1/energy_uj", "9021000000");
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5012000000");
  tree.write("class/powercap/intel-rapl:0:1/energy_uj", "401500000");
  tree.write("class/power_supply/BAT0/current_now", "1750000");
  snapshot = reader.read(false);
  EXPECT_NEAR(*snapshot.systemWatts, 21.0, 1e-5);
  EXPECT_EQ(std::tie(snapshot.systemEstimated, snapshot.batteryWatts), std::make_tuple(false, -21.0));
  EXPECT_NEAR(*snapshot.cpuWatts, 12.0, 1e-9);
  EXPECT_NEAR(*snapshot.gpuWatts, 1.5, 1e-9);
}

TEST(PowerReaderOnFixtures, OtherMachines) {
  testing::ManualScheduler scheduler;
  const auto read = [&](const std::string& name) {
    return LivePowerReader(
               linuxPowerServices(fixture(name), std::make_unique<testing::ManualClock>(scheduler, kStart)))
        .read(true);
  };
  // No supply and no platform counter: system power unknown, not zero; its RAPL counters are root-only.
  auto snapshot = read("desktop");
  EXPECT_EQ(
      std::tie(snapshot.error, snapshot.fanSpeeds, snapshot.systemWatts, snapshot.cpuWatts),
      std::make_tuple(kNoBattery, std::vector<FanSpeed>{{0, 1100}, {1, 850}}, std::nullopt, std::nullopt));
  // The contract current of a USB-C source is no measured input.
  snapshot = read("usb-c-pd");
  EXPECT_EQ(std::tie(snapshot.externalConnected, snapshot.adapterRatedWatts, snapshot.inputWatts,
                     snapshot.inputAmps, snapshot.systemWatts),
            std::make_tuple(true, 65.0, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_NEAR(*snapshot.batteryWatts, 1.8 * 17.2, 1e-9);
  // The driver's negative current is charging.
  snapshot = read("laptop-charging");
  EXPECT_EQ(std::tie(snapshot.externalConnected, snapshot.batteryAmps, snapshot.percent),
            std::make_tuple(true, 2.0, 75));
  snapshot = read("measured-mains");
  EXPECT_EQ(std::tie(snapshot.adapterRatedWatts, snapshot.inputWatts, snapshot.inputAmpsEstimated),
            std::make_tuple(90.0, 31.5, true));
  EXPECT_NEAR(*snapshot.inputAmps, 31.5 / 19.8, 1e-9);

  EXPECT_NEAR(*read("two-batteries").batteryWatts, -(0.7 * 12.3 + 0.5 * 11.9), 1e-3);  // each its own
  EXPECT_NEAR(*read("battery-power-only").batteryWatts, -9.12, 1e-9);

  snapshot = read("bad-values");
  EXPECT_EQ(std::tie(snapshot.available, snapshot.percent, snapshot.batteryWatts, snapshot.systemWatts),
            std::make_tuple(true, std::nullopt, std::nullopt, std::nullopt));
}

}  // namespace
}  // namespace wattline
