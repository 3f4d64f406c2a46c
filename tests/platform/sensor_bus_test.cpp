#include <gtest/gtest.h>

#include "platform/linux/powercap_energy_reports.h"
#include "platform/linux/rapl.h"
#include "platform/linux/rapl_package_energy.h"
#include "platform/linux/sensor_bus.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"
#include "readers/live_sensor_connection.h"

namespace wattline {
namespace {

const Date kStart = dateFromSeconds(1'800'000'000);

std::string fixture(const std::string& name) {
  return std::string(WATTLINE_FIXTURES) + "/sysfs/" + name;
}

class SensorBusTest : public ::testing::Test {
 protected:
  std::unique_ptr<SensorBusService> service(const std::string& root) {
    return std::make_unique<SensorBusService>(root, std::make_shared<PowerSupplyScanner>(root, clock), clock);
  }

  testing::ManualScheduler scheduler;
  testing::ManualClock clock{scheduler, kStart};
};

// A fan that disappears is a transport failure: the owner reopens and finds the others.
TEST_F(SensorBusTest, VanishingSensors) {
  testing::FixtureTree tree(fixture("laptop-battery"));
  auto connection = LiveSensorConnection::open(*service(tree.root()));
  connection->readValues(true);
  tree.remove("class/hwmon/hwmon2");
  scheduler.advance(1.0);
  EXPECT_TRUE(connection->readValues(true).fanSpeeds.empty());
  EXPECT_TRUE(connection->broken());
  auto reopened = LiveSensorConnection::open(*service(tree.root()));
  EXPECT_EQ(reopened->readValues(true).fanSpeeds, (std::vector<FanSpeed>{{0, 3100}}));
}

// The embedded controller's fans come first; a suspended graphics card's fan is not read, which would wake
// it.
TEST_F(SensorBusTest, PlatformFansFirstAndSleepingDevicesUnread) {
  testing::FixtureTree tree(fixture("amd-apu"));
  const std::string status = "devices/pci0000:00/0000:00:01.1/0000:01:00.0/power/runtime_status";
  const std::vector<FanSpeed> controller{{0, 2900}}, both{{0, 2900}, {1, 1800}};
  EXPECT_EQ(LiveSensorConnection::open(*service(tree.root()))->readValues(true).fanSpeeds, controller);
  tree.write(status, "active");
  auto connection = LiveSensorConnection::open(*service(tree.root()));
  EXPECT_EQ(connection->readValues(true).fanSpeeds, both);
  tree.write(status, "suspended");
  EXPECT_EQ(connection->readValues(true).fanSpeeds, controller);
  EXPECT_FALSE(connection->broken());
}

// The platform counter follows the component counters' interval rules: the monotonic clock gives the
// interval, which must agree with the wall clock (no sleep in between) and not be too short.
TEST_F(SensorBusTest, PlatformPowerOnlyOverUsableIntervals) {
  testing::FixtureTree tree(fixture("laptop-battery"));
  const std::string counter = "class/powercap/intel-rapl:1/energy_uj";
  auto connection = LiveSensorConnection::open(*service(tree.root()));
  EXPECT_EQ(connection->readValues(false).systemWatts, std::nullopt);  // no interval yet
  struct Step {
    double monotonic, wall;
    std::int64_t microjoules;  // the counter after the step
    std::optional<double> watts;
  };
  for (const auto& [monotonic, wall, microjoules, watts] : std::vector<Step>{
           {1.0, 1.0, 9'021'000'000, 21.0},
           {1.0, 121.0, 9'261'000'000, std::nullopt},  // two minutes asleep at 2 W
           {1.0, 1.0, 9'281'000'000, 20.0},
           {0.05, 0.05, 9'282'000'000, std::nullopt},
           {1.0, 1.0, 9'300'000'000, 18.0},
           {1.0, 300.0, 1'000'000, std::nullopt},  // reset while asleep: no wrap-around
           {1.0, 1.0, 16'000'000, 15.0},
       }) {
    scheduler.advance(monotonic);
    clock.shiftWall(wall - monotonic);
    tree.write(counter, std::to_string(microjoules));
    EXPECT_NEAR(connection->readValues(false).systemWatts.value_or(-1), watts.value_or(-1), 1e-4)
        << microjoules;
  }
}

// Readings through the bus on the laptop fixtures are checked through the power reader.
TEST_F(SensorBusTest, OpensOnlyWithSomethingToAnswerAndAnswersRecords) {
  EXPECT_EQ(service(fixture("no-such-machine"))->open(), nullptr);
  testing::FixtureTree tree(fixture("desktop"));
  EXPECT_NE(service(tree.root())->open(), nullptr);  // board fans only
  tree.remove("class/hwmon");
  EXPECT_EQ(service(tree.root())->open(), nullptr);

  auto transport = service(fixture("laptop-battery"))->open();
  ASSERT_NE(transport, nullptr);
  SmcRecord reply{};
  std::size_t size = 0;
  // Keys the machine lacks, a read asking for the wrong size and unknown commands get no value.
  for (const auto& request :
       {SmcCodec::request("PBwo", SmcCodec::kGetKeyInfo), SmcCodec::request("B0AV", SmcCodec::kReadKey, 4),
        SmcCodec::request("B0AV", 77)}) {
    ASSERT_EQ(transport->call(request, reply, size), 0);
    EXPECT_EQ(size, kSmcRecordSize);
    EXPECT_NE(SmcCodec::result(reply), 0);
  }
}

TEST_F(SensorBusTest, EnergyReportChannelsAndDeltas) {
  testing::FixtureTree tree(fixture("laptop-battery"));
  tree.write("class/powercap/intel-rapl:2/name", "package-1");
  tree.write("class/powercap/intel-rapl:2/energy_uj", "100");
  PowercapEnergyReports reports(tree.root(), clock);
  auto library = reports.open();
  ASSERT_NE(library, nullptr);
  const auto channels = library->allChannels().value();
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(std::tie(channels[0].name, channels[0].unit), std::make_tuple("CPU Energy", "uJ"));

  auto subscription = library->subscribe(channels);
  ASSERT_NE(subscription, nullptr);
  const auto first = subscription->sample();
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5002000000");
  tree.write("class/powercap/intel-rapl:2/energy_uj", "1000100");  // the second package counts too
  tree.write("class/powercap/intel-rapl:0:1/energy_uj", "400500000");
  const auto second = subscription->sample();
  auto delta = subscription->delta(*first, *second).value();
  ASSERT_EQ(delta.size(), 2u);
  EXPECT_EQ(delta[0].value, 3'000'000);
  EXPECT_EQ(delta[1].value, 500'000);

  // Two packages whose sum would not fit a 64-bit count, or a counter that cannot be read, leave their
  // channel out.
  tree.write("class/powercap/intel-rapl:0/max_energy_range_uj", "9000000000000000000");
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5000000000000000000");
  tree.write("class/powercap/intel-rapl:2/energy_uj", "5000000000001000100");
  tree.write("class/powercap/intel-rapl:0:1/energy_uj", "n/a");
  EXPECT_TRUE(subscription->delta(*second, *subscription->sample())->empty());

  EXPECT_EQ(PowercapEnergyReports(fixture("laptop-charging"), clock).open(), nullptr);
  auto unreadable = PowercapEnergyReports(fixture("desktop"), clock).open();
  ASSERT_NE(unreadable, nullptr);
  EXPECT_TRUE(unreadable->allChannels()->empty());
  EXPECT_EQ(unreadable->subscribe({{"Energy Model", {}, "CPU Energy", "uJ", {}, {}, {}, {}}}), nullptr);
  EXPECT_TRUE(PowercapEnergyReports(fixture("bad-values"), clock).open()->allChannels()->empty());
  EXPECT_EQ(energyDelta(30, 10, 20), std::nullopt);  // beyond the range: not a wrap
}

// Graphics power from the drivers' own readings: the APU's average power over the monotonic interval beside
// a suspended card that adds nothing in the intervals it sleeps at either end of (and is not read); the
// integrated graphics' RAPL share plus the Arc card's counter.
TEST_F(SensorBusTest, GraphicsReadingsOverTheInterval) {
  testing::FixtureTree apu(fixture("amd-apu")), arc(fixture("intel-arc"));
  const auto gpu = [&](const testing::FixtureTree& tree) {
    return PowercapEnergyReports(tree.root(), clock)
        .open()
        ->subscribe({{"Energy Model", {}, "GPU Energy", "uJ", {}, {}, {}, {}}});
  };
  auto apuGpu = gpu(apu), arcGpu = gpu(arc);
  auto apuBefore = apuGpu->sample(), arcBefore = arcGpu->sample();
  struct Step {
    double seconds;
    const char *cardStatus, *uncore, *arcCounter;
    std::optional<std::int64_t> apuEnergy, arcEnergy;
  };
  for (const auto& step : std::vector<Step>{
           {2.0, "suspended", "500500000", "1204200000", 8'420'000, 4'700'000},
           {1.0, "active", "500500000", "1205200000", 4'210'000, 1'000'000},  // woke during the interval
           {1.0, "active", "500500000", "1000", 34'210'000, std::nullopt},    // a reset cannot be told
       }) {
    scheduler.advance(step.seconds);
    apu.write("devices/pci0000:00/0000:00:01.1/0000:01:00.0/power/runtime_status", step.cardStatus);
    arc.write("class/powercap/intel-rapl:0:1/energy_uj", step.uncore);
    arc.write("class/hwmon/hwmon3/energy1_input", step.arcCounter);
    auto apuNow = apuGpu->sample(), arcNow = arcGpu->sample();
    const auto value = [](const std::vector<ReportDelta>& delta) {
      return delta.empty() ? std::nullopt : std::optional(delta.front().value);
    };
    EXPECT_EQ(value(*apuGpu->delta(*apuBefore, *apuNow)), step.apuEnergy) << step.seconds;
    EXPECT_EQ(value(*arcGpu->delta(*arcBefore, *arcNow)), step.arcEnergy) << step.seconds;
    std::tie(apuBefore, arcBefore) = std::tie(apuNow, arcNow);
  }
}

// Intel exposes each package twice, through MSRs and through MMIO; only one may count.
TEST(Rapl, PackagesSeenThroughMmioAreNotCountedTwice) {
  testing::FixtureTree tree(fixture("laptop-battery"));
  tree.write("class/powercap/intel-rapl-mmio:0/name", "package-0");
  tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "5000000");
  tree.write("class/powercap/intel-rapl-mmio:0/max_energy_range_uj", "262143328850");
  RaplPackageEnergy energy(tree.root());
  ASSERT_EQ(energy.consumedSinceLastRead(), 0u);
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5002000000");
  tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "7000000");
  EXPECT_EQ(energy.consumedSinceLastRead(), 2'000'000'000u);  // nanojoules, once
}

}  // namespace
}  // namespace wattline
