#include "readers/process_power_policy.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wattline {
namespace {

using Phase = ProcessPowerSnapshot::Phase;

const Date kStart = dateFromSeconds(1'780'000'000);
constexpr std::uint64_t kJ = 1'000'000'000;  // nanojoules

ProcessEnergyCounter counter(std::int32_t pid, std::uint64_t energy, std::string group = "",
                             std::uint64_t start = 7) {
  if (group.empty()) group = "exec:/bin/p" + std::to_string(pid);
  return {pid, start, energy, group, "name of " + group, std::nullopt};
}

ProcessEnergyBatch batch(double uptime, std::vector<ProcessEnergyCounter> counters, double wallShift = 0) {
  // A batch without a usable uptime keeps a real wall-clock time.
  const auto wall = std::chrono::duration_cast<Date::duration>(
      std::chrono::duration<double>(std::isfinite(uptime) ? uptime + wallShift : 0.0));
  return {kStart + wall, uptime, true, std::move(counters)};
}

TEST(ProcessPowerPolicy, RanksAverageWattsOverTheInterval) {
  auto previous = batch(100.0, {counter(10, 1 * kJ)});
  auto current = batch(102.0, {counter(10, 4 * kJ)});
  auto snapshot = ProcessPowerPolicy::sample(&previous, current);
  EXPECT_EQ(snapshot.phase, Phase::ready);
  ASSERT_EQ(snapshot.rows.size(), 1u);
  EXPECT_EQ(snapshot.rows[0], (ProcessPowerRow{"exec:/bin/p10", "name of exec:/bin/p10", 1.5, 1}));
  EXPECT_EQ(snapshot.updatedAt, current.timestamp);

  // Per-process read times, when both batches have them, replace the batch interval.
  previous.counters[0].sampledUptime = 100.5;
  current.counters[0].sampledUptime = 101.5;
  EXPECT_DOUBLE_EQ(ProcessPowerPolicy::sample(&previous, current).rows.at(0).watts, 3.0);
  current.counters[0].sampledUptime = 100.55;
  EXPECT_TRUE(ProcessPowerPolicy::sample(&previous, current).rows.empty());
}

TEST(ProcessPowerPolicy, GroupsProcessesAndKeepsTheThreeHighest) {
  const std::string app = "app:/Applications/Browser.app";
  auto previous = batch(10.0, {counter(1, 0, app), counter(2, 0, app), counter(3, 0, app), counter(4, 0),
                               counter(5, 0), counter(6, 0), counter(7, 0), counter(8, 0)});
  auto current =
      batch(12.0, {counter(1, kJ, app), counter(2, kJ, app), counter(3, kJ, app), counter(4, 2 * kJ),
                   counter(5, kJ), counter(6, 2 * kJ), counter(7, kJ / 5), counter(8, 0)});
  auto rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (ProcessPowerRow{app, "name of " + app, 1.5, 3}));
  // Equal watts: plain string order of the ids.
  EXPECT_EQ(rows[1].id, "exec:/bin/p4");
  EXPECT_EQ(rows[2].id, "exec:/bin/p6");
  EXPECT_DOUBLE_EQ(rows[2].watts, 1.0);
}

TEST(ProcessPowerPolicy, UnusableIntervalsAndBatches) {
  auto previous = batch(100.0, {counter(10, 0)});
  auto unavailable = batch(102.0, {counter(10, kJ)});
  unavailable.available = false;
  for (auto current : {batch(112.0, {counter(10, kJ)}), batch(100.05, {counter(10, kJ)}),
                       batch(102.0, {counter(10, kJ)}, 3.0), batch(NAN, {counter(10, kJ)}), unavailable}) {
    auto snapshot = ProcessPowerPolicy::sample(&previous, current);
    EXPECT_EQ(snapshot.phase, current.available ? Phase::sampling : Phase::unavailable);
    EXPECT_TRUE(snapshot.rows.empty());
    EXPECT_FALSE(snapshot.updatedAt);
  }
  EXPECT_EQ(ProcessPowerPolicy::sample(nullptr, batch(102.0, {counter(10, kJ)})).phase, Phase::sampling);
  std::swap(previous, unavailable);
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(102.0, {counter(10, kJ)})).phase, Phase::sampling);

  // The limits themselves are usable.
  previous = batch(100.0, {counter(10, 0)});
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(110.0, {counter(10, 1)})).phase, Phase::ready);
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(102.0, {counter(10, 1)}, 1.9)).phase, Phase::ready);
  auto early = batch(1.0, {counter(10, 0)});
  EXPECT_EQ(ProcessPowerPolicy::sample(&early, batch(1.1, {counter(10, 1)})).phase, Phase::ready);
}

TEST(ProcessPowerPolicy, RestartsRegroupingAndBackwardCountersContributeNothing) {
  auto previous = batch(100.0, {counter(1, 5 * kJ), counter(2, 0), counter(3, 0), counter(4, 0)});
  auto current = batch(102.0, {counter(1, 1 * kJ),                     // went backwards
                               counter(2, 9 * kJ, "", 8),              // pid reused
                               counter(3, 9 * kJ, "exec:/bin/other"),  // regrouped
                               counter(4, 3000 * kJ),                  // 1500 W
                               counter(5, 9 * kJ)});                   // new
  auto snapshot = ProcessPowerPolicy::sample(&previous, current);
  EXPECT_EQ(snapshot.phase, Phase::ready);
  EXPECT_TRUE(snapshot.rows.empty());
  EXPECT_EQ(snapshot.updatedAt, current.timestamp);

  // Processes under the cap each, but a group above 1000 W in total, is dropped as well.
  previous = batch(100.0, {counter(1, 0, "exec:/bin/big"), counter(2, 0, "exec:/bin/big"), counter(3, 0)});
  current = batch(102.0, {counter(1, 1800 * kJ, "exec:/bin/big"), counter(2, 1800 * kJ, "exec:/bin/big"),
                          counter(3, 2 * kJ)});
  auto rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "exec:/bin/p3");

  // An app groups under its outermost bundle directory.
  EXPECT_EQ(ProcessPowerPolicy::appPath("/Applications/Some.app/Contents/MacOS/Some"),
            "/Applications/Some.app");
  EXPECT_EQ(ProcessPowerPolicy::appPath("/A.app/Contents/Frameworks/B.app/Contents/MacOS/B"), "/A.app");
  for (const char* path : {"/usr/bin/some.app", "/opt/Some.application/bin/x", ""})
    EXPECT_FALSE(ProcessPowerPolicy::appPath(path)) << path;
}

}  // namespace

TEST(ProcessPowerSnapshot, FreshnessWindowAndJson) {
  const Date updated = dateFromSeconds(1796573652.25);  // 2026-12-06T16:14:12Z and a fraction
  ProcessPowerSnapshot snapshot{Phase::ready, {}, updated};
  EXPECT_TRUE(snapshot.isFresh(updated + std::chrono::seconds(6)));
  EXPECT_FALSE(snapshot.isFresh(updated + std::chrono::milliseconds(6100)));
  EXPECT_TRUE(snapshot.isFresh(updated - std::chrono::seconds(1)));
  EXPECT_FALSE(ProcessPowerSnapshot{}.isFresh(updated));

  const auto preview = ProcessPowerSnapshot::preview(updated);
  const nlohmann::json json = preview.toJSON();
  EXPECT_EQ(json["updatedAt"], "2026-12-06T16:14:12Z");
  EXPECT_EQ(json["rows"][0],
            (nlohmann::json{{"id", "browser"}, {"name", "浏览器"}, {"watts", 1.243}, {"processCount", 6}}));
  EXPECT_EQ(ProcessPowerSnapshot::fromJSON(json)->rows, preview.rows);
  EXPECT_EQ(ProcessPowerSnapshot{}.toJSON(),
            (nlohmann::json{{"phase", "idle"}, {"rows", nlohmann::json::array()}}));
  nlohmann::json incomplete = json;
  incomplete["rows"][1].erase("processCount");
  EXPECT_FALSE(ProcessPowerSnapshot::fromJSON(incomplete));
}

}  // namespace wattline
