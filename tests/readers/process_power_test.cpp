// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>

#include "platform/testing/fake_process_table.h"
#include "platform/testing/manual_scheduler.h"
#include "readers/process_power_policy.h"
#include "readers/process_power_reader.h"

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
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, current),
            (ProcessPowerSnapshot{
                Phase::ready, {{"exec:/bin/p10", "name of exec:/bin/p10", 1.5, 1}}, current.timestamp}));

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
  // Equal watts: plain string order of the ids.
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, current).rows,
            (std::vector<ProcessPowerRow>{{app, "name of " + app, 1.5, 3},
                                          {"exec:/bin/p4", "name of exec:/bin/p4", 1.0, 1},
                                          {"exec:/bin/p6", "name of exec:/bin/p6", 1.0, 1}}));
}

TEST(ProcessPowerPolicy, UnusableIntervalsAndBatches) {
  auto previous = batch(100.0, {counter(10, 0)});
  auto unavailable = batch(102.0, {counter(10, kJ)});
  unavailable.available = false;
  for (auto current : {batch(112.0, {counter(10, kJ)}), batch(100.05, {counter(10, kJ)}),
                       batch(102.0, {counter(10, kJ)}, 3.0), batch(NAN, {counter(10, kJ)}), unavailable}) {
    EXPECT_EQ(
        ProcessPowerPolicy::sample(&previous, current),
        (ProcessPowerSnapshot{current.available ? Phase::sampling : Phase::unavailable, {}, std::nullopt}));
  }
  EXPECT_EQ(ProcessPowerPolicy::sample(nullptr, batch(102.0, {counter(10, kJ)})).phase, Phase::sampling);
  std::swap(previous, unavailable);
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(102.0, {counter(10, kJ)})).phase, Phase::sampling);

  // The limits themselves are usable.
  for (auto [from, to, wallShift] : {std::tuple{100.0, 110.0, 0.0}, {100.0, 102.0, 1.9}, {1.0, 1.1, 0.0}}) {
    previous = batch(from, {counter(10, 0)});
    EXPECT_EQ(ProcessPowerPolicy::sample(&previous, batch(to, {counter(10, 1)}, wallShift)).phase,
              Phase::ready);
  }
}

TEST(ProcessPowerPolicy, RestartsRegroupingAndBackwardCountersContributeNothing) {
  auto previous = batch(100.0, {counter(1, 5 * kJ), counter(2, 0), counter(3, 0), counter(4, 0)});
  auto current = batch(102.0, {counter(1, 1 * kJ),                     // went backwards
                               counter(2, 9 * kJ, "", 8),              // pid reused
                               counter(3, 9 * kJ, "exec:/bin/other"),  // regrouped
                               counter(4, 3000 * kJ),                  // 1500 W
                               counter(5, 9 * kJ)});                   // new
  EXPECT_EQ(ProcessPowerPolicy::sample(&previous, current),
            (ProcessPowerSnapshot{Phase::ready, {}, current.timestamp}));

  // Processes under the cap each, but a group above 1000 W in total, is dropped as well.
  previous = batch(100.0, {counter(1, 0, "exec:/bin/big"), counter(2, 0, "exec:/bin/big"), counter(3, 0)});
  current = batch(102.0, {counter(1, 1800 * kJ, "exec:/bin/big"), counter(2, 1800 * kJ, "exec:/bin/big"),
                          counter(3, 2 * kJ)});
  auto rows = ProcessPowerPolicy::sample(&previous, current).rows;
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "exec:/bin/p3");

  // An app groups under its outermost bundle directory.
  EXPECT_EQ(ProcessPowerPolicy::appPath("/A.app/Contents/Frameworks/B.app/Contents/MacOS/B"), "/A.app");
  for (const char* path : {"/usr/bin/some.app", "/opt/Some.application/bin/x"})
    EXPECT_FALSE(ProcessPowerPolicy::appPath(path)) << path;
}

using testing::FakeProcessTable;

class ProcessPowerReaderTest : public ::testing::Test {
 protected:
  testing::ManualScheduler scheduler;
  std::shared_ptr<testing::ManualClock> clock =
      std::make_shared<testing::ManualClock>(scheduler, dateFromSeconds(1'780'000'000));
  std::shared_ptr<FakeProcessTable> table = std::make_shared<FakeProcessTable>();
  ProcessPowerReader reader{table, clock};
};

TEST_F(ProcessPowerReaderTest, IdentifiesGroupsAndNames) {
  table->processes = std::vector<FakeProcessTable::Process>{
      {10, 1, 5, "/Applications/Some.app/Contents/MacOS/Some", "Some", std::nullopt},
      {11, 2, 5, "/Applications/Some.app/Contents/Helpers/Helper", "Helper", "org.example.Some"},
      {12, 3, 5, "/Applications/Named.app/Contents/MacOS/x", "x", std::nullopt},
      {20, 4, 5, "/usr/lib/firefox/firefox", "firefox", "firefox"},
      {21, 5, 5, "/usr/bin/thing", "", "org.example.Nameless"},
      {30, 6, 5, "/usr/bin/python3.11", "script.py", std::nullopt},
      {31, 7, 5, "/usr/bin/python3.11", "", std::nullopt},
      {41, 9, 0, "", "", std::nullopt},
      {0, 1, 5, "/sbin/idle", "idle", std::nullopt},
  };
  table->bundleNames["/Applications/Named.app"] = std::string(150, 'n');
  table->applicationNames["firefox"] = "Firefox 火狐浏览器";
  clock->shiftUptime(50);

  // Groups over a real process table, a kernel thread's among them, are checked on the proc fixture.
  auto batch = reader.read();
  EXPECT_DOUBLE_EQ(batch.uptime, 1050.0);
  ASSERT_EQ(batch.counters.size(), 8u);  // pids below 1 are skipped
  std::vector<std::string> identities;
  for (const auto& counter : batch.counters) identities.push_back(counter.groupID + " " + counter.name);
  EXPECT_EQ(identities,
            (std::vector<std::string>{
                "app:/Applications/Some.app Some",
                "app:/Applications/Some.app Some",  // the bundle rule comes first
                "app:/Applications/Named.app " + std::string(100, 'n'), "desktop:firefox Firefox 火狐浏览器",
                "desktop:org.example.Nameless org.example.Nameless", "exec:/usr/bin/python3.11 script.py",
                "exec:/usr/bin/python3.11 python3.11", "pid:41:9 进程 41"}));
  EXPECT_EQ(table->bundleLookups, 2);                 // one per bundle path
  EXPECT_EQ(firstCharacters("瓦迹功耗", 2), "瓦迹");  // whole UTF-8 characters
}

TEST_F(ProcessPowerReaderTest, CachesIdentitiesPerIncarnationAndNeedsEnergy) {
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 5, "/usr/bin/a", "a", std::nullopt},
                                                            {11, 1, 5, "/usr/bin/b", "b", std::nullopt}};
  reader.read();
  reader.read();
  EXPECT_EQ(table->pathLookups, 2);

  // pid 10 reused by another program: looked up again, and grouped anew.
  table->process(10) = {10, 2, 5, "/usr/bin/c", "c", std::nullopt};
  EXPECT_EQ(reader.read().counters.at(0).groupID, "exec:/usr/bin/c");
  EXPECT_EQ(table->pathLookups, 3);

  // pid 11 vanishes and comes back with the same start: its entry was pruned, so it is looked up again.
  auto processes = *table->processes;
  table->processes->pop_back();
  reader.read();
  table->processes = processes;
  reader.read();
  EXPECT_EQ(table->pathLookups, 4);

  // Every counter at zero: listed, but not available.
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 0, "/usr/bin/a", "a", std::nullopt}};
  auto batch = reader.read();
  EXPECT_EQ(std::make_tuple(batch.available, batch.counters.size()), std::make_tuple(false, 1u));
}

TEST(ProcessPowerSnapshot, FreshnessWindowAndJson) {
  const Date updated = dateFromSeconds(1796573652.25);  // 2026-12-06T16:14:12Z and a fraction
  ProcessPowerSnapshot snapshot{Phase::ready, {}, updated};
  EXPECT_TRUE(snapshot.isFresh(updated + std::chrono::seconds(6)) &&
              snapshot.isFresh(updated - std::chrono::seconds(1)));
  EXPECT_FALSE(snapshot.isFresh(updated + std::chrono::milliseconds(6100)) ||
               ProcessPowerSnapshot{}.isFresh(updated));

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

}  // namespace
}  // namespace wattline
