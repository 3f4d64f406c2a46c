#include <gtest/gtest.h>

#include "platform/testing/manual_scheduler.h"
#include "platform/testing/scripted_energy_reports.h"
#include "platform/testing/scripted_registry.h"
#include "readers/component_power_reader.h"

namespace wattline {
namespace {

using namespace ComponentPowerPolicy;

const Date kAt = dateFromSeconds(1.8e9);

TEST(ComponentPowerPolicy, WattsChannelsAndIDs) {
  EXPECT_EQ(watts(5000, "mJ", 1.0), 5.0);
  EXPECT_EQ(watts(5000, "mJ", 0.05), std::nullopt);
  EXPECT_EQ(watts(5000, "mJ", 311), std::nullopt);
  EXPECT_EQ(watts(5000, "mJ", 0.1), 50.0);  // bounds are inclusive
  for (const char* unit : {"uJ", "\u00B5J", "\u03BCJ"}) EXPECT_EQ(watts(2'000'000, unit, 2.0), 1.0) << unit;
  EXPECT_EQ(watts(3'000'000'000, "nJ", 1.5), 2.0);
  EXPECT_EQ(watts(1, "kJ", 1.0), std::nullopt);
  EXPECT_EQ(watts(-1, "J", 1.0), std::nullopt);
  EXPECT_EQ(watts(2'000'000, "J", 1.0), std::nullopt);
  EXPECT_EQ(watts(1000, "J", 1.0), 1000.0);

  const std::vector<ComponentEnergy> energies = {{"CLPC", "CPU Energy", "mJ", 1000},
                                                 {"CLPC", "CPU Energy", "mJ", 2000},
                                                 {"Energy Model", "CPU Energy", "mJ", 4000},
                                                 {"Energy Model", "GPU Energy", "mJ", 500}};
  auto reading = decode(energies, 2.0, kAt, true);
  EXPECT_EQ(reading.cpuWatts, 2.0);
  EXPECT_EQ(reading.gpuWatts, 0.25);
  reading = decode(energies, 2.0, kAt, false);
  EXPECT_EQ(reading.cpuWatts, std::nullopt);
  EXPECT_EQ(reading.gpuWatts, 0.25);

  // One CLPC channel is preferred; an unusable CLPC value falls back to the energy model.
  const auto cpu = [](std::string clpcUnit, std::vector<ComponentEnergy> more = {}) {
    more.push_back({"CLPC", "CPU Energy", clpcUnit, 1000});
    return decode(more, 1.0, kAt, true).cpuWatts;
  };
  EXPECT_EQ(cpu("mJ", {{"Energy Model", "CPU Energy", "mJ", 4000}}), 1.0);
  EXPECT_EQ(cpu("kJ", {{"Energy Model", "CPU Energy", "mJ", 4000}}), 4.0);
  EXPECT_EQ(decode({{"CLPC", "CPU Energy", "kJ", 1}}, 1.0, kAt, true), ComponentPowerReading{});

  const std::string bundle = "com.apple.driver.AppleT8103CLPCv3";
  const auto ids = clpcIDs(bundle, {27, 0, 1});
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids[0], std::make_pair(std::uint64_t{0x102CDD31F2}, std::string("CPU Energy")));
  EXPECT_EQ(ids[1], std::make_pair(std::uint64_t{0x1921BECF42}, std::string("GPU Energy")));
  EXPECT_TRUE(clpcIDs(bundle, {27, 0, 2}).empty());
  EXPECT_TRUE(clpcIDs(bundle, {26, 4, 0}).empty());
  EXPECT_TRUE(clpcIDs("com.apple.driver.AppleT9999CLPC", {27, 0, 0}).empty());
}

class ComponentPowerReaderTest : public ::testing::Test {
 protected:
  ComponentPowerReaderTest() {
    auto& s = reports.script();
    s.channels = std::vector<ReportChannel>{{" Energy Model ", {}, "CPU Energy\n", "mJ", {}, {}, {}, {}},
                                            {"Energy Model", {}, "GPU Energy", "mJ", {}, {}, {}, {}},
                                            {"Energy Model", {}, "DRAM Energy", "mJ", {}, {}, {}, {}}};
    s.counters = {{{" Energy Model ", "CPU Energy\n"}, 0}, {{"Energy Model", "GPU Energy"}, 0}};
  }
  void burn(std::int64_t cpu, std::int64_t gpu) {
    reports.script().counters[{" Energy Model ", "CPU Energy\n"}] += cpu;
    reports.script().counters[{"Energy Model", "GPU Energy"}] += gpu;
  }

  testing::ManualScheduler scheduler;
  testing::ManualClock clock{scheduler, kAt};
  testing::ScriptedEnergyReports reports;
  testing::ScriptedRegistry registry;
  ComponentPowerReader reader{reports, registry, clock};
};

TEST_F(ComponentPowerReaderTest, AveragesBetweenReads) {
  EXPECT_EQ(reader.read(), ComponentPowerReading{});  // first sample after connecting
  EXPECT_EQ(reports.lastRequest().size(), 2u);        // only the CPU and GPU energy channels
  scheduler.advance(2.0);
  burn(6000, 1000);
  auto reading = reader.read();
  EXPECT_EQ(reading.cpuWatts, 3.0);
  EXPECT_EQ(reading.gpuWatts, 0.5);
  EXPECT_EQ(reading.duration, 2.0);

  // A wall-clock jump spoils one interval only.
  scheduler.advance(1.0);
  clock.shiftWall(5.0);
  EXPECT_EQ(reader.read(), ComponentPowerReading{});
  scheduler.advance(1.0);
  burn(1000, 0);
  EXPECT_EQ(reader.read().cpuWatts, 1.0);

  scheduler.advance(311);  // too far apart
  EXPECT_EQ(reader.read(), ComponentPowerReading{});
}

TEST_F(ComponentPowerReaderTest, ReconnectsEveryThirtySeconds) {
  reports.script().libraryMissing = true;
  reader.read();
  scheduler.advance(29.0);
  reader.read();
  EXPECT_EQ(reports.opens(), 1);
  scheduler.advance(1.0);
  reports.script().libraryMissing = false;
  reader.read();
  EXPECT_EQ(reports.opens(), 2);

  // A failed sample drops the subscription; 30 s after the last connect it reconnects at once.
  scheduler.advance(40.0);
  reports.script().failSample = true;
  EXPECT_EQ(reader.read(), ComponentPowerReading{});
  reports.script().failSample = false;
  EXPECT_EQ(reader.read(), ComponentPowerReading{});  // reconnected: a first sample again
  EXPECT_EQ(reports.opens(), 3);

  reports.script().refuseSubscription = true;
  reports.script().failSample = true;
  scheduler.advance(31.0);
  reader.read();
  reader.read();
  EXPECT_EQ(reports.opens(), 4);  // refused: no new attempt before 30 s
  clock.shiftWall(-600);
  reader.read();
  EXPECT_EQ(reports.opens(), 5);  // the clock was set back: no wait for it to catch up
}

TEST_F(ComponentPowerReaderTest, NoCpuFromTheEnergyModelOnNewerSystems) {
  reports.script().version = {27, 0, 2};
  reader.read();
  scheduler.advance(1.0);
  burn(1000, 1000);
  const auto reading = reader.read();
  EXPECT_EQ(reading.cpuWatts, std::nullopt);
  EXPECT_EQ(reading.gpuWatts, 1.0);
}

}  // namespace
}  // namespace wattline
