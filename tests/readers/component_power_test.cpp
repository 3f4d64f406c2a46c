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
  // Energy, unit, seconds and the average; the interval bounds are inclusive.
  const std::optional<double> none;
  // clang-format off
  const std::tuple<std::int64_t, const char*, double, std::optional<double>> cases[] = {
      {5000, "mJ", 1.0, 5.0}, {5000, "mJ", 0.1, 50.0}, {5000, "mJ", 0.05, none}, {5000, "mJ", 311, none},
      {2'000'000, "uJ", 2.0, 1.0}, {2'000'000, "\u00B5J", 2.0, 1.0}, {2'000'000, "\u03BCJ", 2.0, 1.0},
      {3'000'000'000, "nJ", 1.5, 2.0}, {1, "kJ", 1.0, none}, {-1, "J", 1.0, none},
      {2'000'000, "J", 1.0, none}, {1000, "J", 1.0, 1000.0}};
  // clang-format on
  for (const auto& [energy, unit, seconds, expected] : cases)
    EXPECT_EQ(watts(energy, unit, seconds), expected) << energy << unit << seconds;

  // One CLPC channel is preferred; two of a kind, or an unusable value, fall back to the energy model.
  const std::vector<ComponentEnergy> energies = {{"CLPC", "CPU Energy", "mJ", 1000},
                                                 {"CLPC", "CPU Energy", "mJ", 2000},
                                                 {"Energy Model", "CPU Energy", "mJ", 4000},
                                                 {"Energy Model", "GPU Energy", "mJ", 500}};
  EXPECT_EQ(decode(energies, 2.0, kAt, true), (ComponentPowerReading{2.0, 0.25, kAt, 2.0}));
  EXPECT_EQ(decode(energies, 2.0, kAt, false), (ComponentPowerReading{std::nullopt, 0.25, kAt, 2.0}));
  const auto cpu = [](std::string clpcUnit) {
    return decode({{"Energy Model", "CPU Energy", "mJ", 4000}, {"CLPC", "CPU Energy", clpcUnit, 1000}}, 1.0,
                  kAt, true)
        .cpuWatts;
  };
  EXPECT_EQ(std::make_tuple(cpu("mJ"), cpu("kJ")), std::make_tuple(1.0, 4.0));
  EXPECT_EQ(decode({{"CLPC", "CPU Energy", "kJ", 1}}, 1.0, kAt, true), ComponentPowerReading{});

  const std::string bundle = "com.apple.driver.AppleT8103CLPCv3";
  EXPECT_EQ(clpcIDs(bundle, {27, 0, 1}), (std::vector<std::pair<std::uint64_t, std::string>>{
                                             {0x102CDD31F2, "CPU Energy"}, {0x1921BECF42, "GPU Energy"}}));
  EXPECT_TRUE(clpcIDs(bundle, {27, 0, 2}).empty() && clpcIDs(bundle, {26, 4, 0}).empty() &&
              clpcIDs("com.apple.driver.AppleT9999CLPC", {27, 0, 0}).empty());
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
  EXPECT_EQ(reader.read(), (ComponentPowerReading{3.0, 0.5, clock.now(), 2.0}));

  // A wall-clock jump spoils one interval only.
  scheduler.advance(1.0);
  clock.shiftWall(5.0);
  EXPECT_EQ(reader.read(), ComponentPowerReading{});
  scheduler.advance(1.0);
  burn(1000, 0);
  EXPECT_EQ(reader.read().cpuWatts, 1.0);
  // Newer systems' energy model gives no CPU power.
  reports.script().version = {27, 0, 2};
  scheduler.advance(1.0);
  burn(1000, 1000);
  EXPECT_EQ(reader.read(), (ComponentPowerReading{std::nullopt, 1.0, clock.now(), 1.0}));

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
  // A clock set back does not hold off the next attempt until it has caught up (the retry timing the
  // controller's reopening shares).
  clock.shiftWall(-600);
  reader.read();
  EXPECT_EQ(reports.opens(), 5);
}

}  // namespace
}  // namespace wattline
