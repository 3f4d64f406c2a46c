#include "readers/process_power_policy.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

using Phase = ProcessPowerSnapshot::Phase;

const Date kStart = dateFromSeconds(1'780'000'000);

ProcessEnergyCounter counter(std::int32_t pid, std::uint64_t energy, std::string group = "",
                             std::uint64_t start = 7) {
  if (group.empty()) group = "exec:/bin/p" + std::to_string(pid);
  return {pid, start, energy, group, "name of " + group, std::nullopt};
}

ProcessEnergyBatch batch(double uptime, std::vector<ProcessEnergyCounter> counters, double wallShift = 0) {
  return {
      kStart + std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(uptime + wallShift)),
      uptime, true, std::move(counters)};
}

TEST(ProcessPowerPolicy, RanksAverageWattsOverTheInterval) {
  auto previous = batch(100.0, {counter(10, 1'000'000'000)});
  auto current = batch(102.0, {counter(10, 4'000'000'000)});
  auto snapshot = ProcessPowerPolicy::sample(&previous, current);
  EXPECT_EQ(snapshot.phase, Phase::ready);
  ASSERT_EQ(snapshot.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(snapshot.rows[0].watts, 1.5);
  EXPECT_EQ(snapshot.rows[0].processCount, 1);
  EXPECT_EQ(snapshot.rows[0].id, "exec:/bin/p10");
  EXPECT_EQ(snapshot.rows[0].name, "name of exec:/bin/p10");
  EXPECT_EQ(snapshot.updatedAt, current.timestamp);

  // Per-process read times, when both batches have them, replace the batch interval.
  previous.counters[0].sampledUptime = 100.5;
  current.counters[0].sampledUptime = 101.5;
  EXPECT_DOUBLE_EQ(ProcessPowerPolicy::sample(&previous, current).rows.at(0).watts, 3.0);
  current.counters[0].sampledUptime = 100.55;
  EXPECT_TRUE(ProcessPowerPolicy::sample(&previous, current).rows.empty());
}

TEST(ProcessPowerPolicy, GroupsProcessesAndKeepsTheThreeHighest) {
  const std::string bundle = "app:/Applications/Browser.app";
  auto previous = batch(10.0, {counter(1, 0, bundle), counter(2, 0, bundle), counter(3, 0, bundle),
                               counter(4, 0), counter(5, 0), counter(6, 0), counter(7, 0), counter(8, 0)});
  auto current =
      batch(12.0, {counter(1, 1'000'000'000, bundle), counter(2, 1'000'000'000, bundle),
                   counter(3, 1'000'000'000, bundle), counter(4, 2'000'000'000), counter(5, 1'000'000'000),
                   counter(6, 2'000'000'000), counter(7, 200'000'000), counter(8, 0)});
  auto rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].id, bundle);
  EXPECT_DOUBLE_EQ(rows[0].watts, 1.5);
  EXPECT_EQ(rows[0].processCount, 3);
  // Equal watts: plain string order of the ids.
  EXPECT_EQ(rows[1].id, "exec:/bin/p4");
  EXPECT_EQ(rows[2].id, "exec:/bin/p6");
  EXPECT_DOUBLE_EQ(rows[2].watts, 1.0);

  // A pid listed twice counts once; a process with no energy use neither shows nor counts.
  previous = batch(10.0, {counter(1, 0, bundle), counter(2, 0, bundle)});
  current = batch(
      12.0, {counter(1, 1'000'000'000, bundle), counter(1, 9'000'000'000, bundle), counter(2, 0, bundle)});
  rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_DOUBLE_EQ(rows[0].watts, 0.5);
  EXPECT_EQ(rows[0].processCount, 1);
}

TEST(ProcessPowerPolicy, UnusableIntervalsOnlySample) {
  auto previous = batch(100.0, {counter(10, 0)});
  for (auto current :
       {batch(112.0, {counter(10, 1'000'000'000)}), batch(100.05, {counter(10, 1'000'000'000)}),
        batch(102.0, {counter(10, 1'000'000'000)}, 3.0),
        batch(std::numeric_limits<double>::quiet_NaN(), {counter(10, 1'000'000'000)})}) {
    auto snapshot = ProcessPowerPolicy::sample(&previous, current);
    EXPECT_EQ(snapshot.phase, Phase::sampling);
    EXPECT_TRUE(snapshot.rows.empty());
    EXPECT_FALSE(snapshot.updatedAt);
  }
  // The limits themselves are usable.
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(110.0, {counter(10, 1)})).phase, Phase::ready);
  auto early = batch(1.0, {counter(10, 0)});
  EXPECT_EQ(ProcessPowerPolicy::sample(&early, batch(1.1, {counter(10, 1)})).phase, Phase::ready);
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(102.0, {counter(10, 1)}, 1.9)).phase, Phase::ready);
}

TEST(ProcessPowerPolicy, MissingOrUnavailableBatches) {
  auto previous = batch(100.0, {counter(10, 0)});
  auto current = batch(102.0, {counter(10, 1'000'000'000)});
  EXPECT_EQ(ProcessPowerPolicy::sample(nullptr, current).phase, Phase::sampling);
  auto unavailablePrevious = previous;
  unavailablePrevious.available = false;
  EXPECT_EQ(ProcessPowerPolicy::sample(&unavailablePrevious, current).phase, Phase::sampling);
  auto unavailableCurrent = current;
  unavailableCurrent.available = false;
  auto snapshot = ProcessPowerPolicy::sample(&previous, unavailableCurrent);
  EXPECT_EQ(snapshot.phase, Phase::unavailable);
  EXPECT_TRUE(snapshot.rows.empty());
  EXPECT_FALSE(snapshot.updatedAt);
}

TEST(ProcessPowerPolicy, RestartsRegroupingAndBackwardCountersContributeNothing) {
  auto previous = batch(100.0, {counter(1, 5'000'000'000), counter(2, 0), counter(3, 0), counter(4, 0)});
  auto current = batch(102.0, {counter(1, 1'000'000'000),                     // went backwards
                               counter(2, 9'000'000'000, "", 8),              // pid reused
                               counter(3, 9'000'000'000, "exec:/bin/other"),  // regrouped
                               counter(4, 3'000'000'000'000),                 // 1500 W
                               counter(5, 9'000'000'000)});                   // new
  auto snapshot = ProcessPowerPolicy::sample(&previous, current);
  EXPECT_EQ(snapshot.phase, Phase::ready);
  EXPECT_TRUE(snapshot.rows.empty());
  EXPECT_EQ(snapshot.updatedAt, current.timestamp);

  // Processes under the cap each, but a group above 1000 W in total, is dropped as well.
  previous = batch(100.0, {counter(1, 0, "exec:/bin/big"), counter(2, 0, "exec:/bin/big"), counter(3, 0)});
  current = batch(102.0, {counter(1, 1'800'000'000'000, "exec:/bin/big"),
                          counter(2, 1'800'000'000'000, "exec:/bin/big"), counter(3, 2'000'000'000)});
  auto rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "exec:/bin/p3");
}

TEST(ProcessPowerPolicy, AppPathIsTheBundleDirectory) {
  EXPECT_EQ(ProcessPowerPolicy::appPath("/Applications/Some.app/Contents/MacOS/Some"),
            "/Applications/Some.app");
  EXPECT_EQ(ProcessPowerPolicy::appPath("/A.app/Contents/Frameworks/B.app/Contents/MacOS/B"), "/A.app");
  EXPECT_FALSE(ProcessPowerPolicy::appPath("/usr/bin/some.app"));
  EXPECT_FALSE(ProcessPowerPolicy::appPath("/opt/Some.application/bin/x"));
  EXPECT_FALSE(ProcessPowerPolicy::appPath(""));
}

}  // namespace
}  // namespace wattline
