#include "history/history_store.h"

#include <gtest/gtest.h>

#include <map>

#include "history_test_support.h"

namespace wattline {
namespace {

using namespace testing;

TEST(HistoryStore, IntegratesEnergyOnlyBetweenAdjacentSecondsWhenTheClocksAgree) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  HistoryStore store(url);
  Inspector db(url);
  // Offsets in quarters of a second keep the boundary cases exact in binary; a duration of -1 is not checked.
  struct Step {
    std::int64_t second;
    std::optional<double> watts;
    double offset, uptimeShift, duration;
  };
  const Step steps[] = {
      {0, 10, 0, 0, 0},
      {1, 20, 0, 0, 1},        // trapezoid over one second
      {2, 20, 0.75, 0, 1.75},  // dObs = 1.75 exactly
      {3, 20, -0.5, 0, 0},     // observed before the previous one
      {4, 20, 0, 0, -1},
      {5, 20, 0.76, 0, 0},  // dObs = 1.76
      // The monotonic clock moved exactly 0.25 s less than the wall clock: a sleep or a clock change,
      // not integrated. 0.24 s is still agreement.
      {6, 20, 0.25, 0, -1},
      {7, 20, 0.25, -0.25, 0},
      {8, 20, 0.25, -0.49, 1},
      {10, 20, 0.25, 0, 0},             // a missing second
      {11, std::nullopt, 0.25, 0, -1},  // no power: NULL, zero energy
      {12, 20, 0.25, 0, 0},             // nothing to integrate against
      {13, 20, 0.25, 0, 1},
      {14, 20, 0.25, 0, 0},  // after a break in continuity
  };
  std::optional<double> previous;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.second);
    if (step.second == 14) store.breakContinuity();
    // `now` just after the observation, or after the start of the second when observed before it.
    const HistoryRecord record = makeRecord(kBase + step.second, step.watts, step.offset);
    store.record(record, record.observed - kBase + 1000 + step.uptimeShift,
                 dateFromSeconds(std::max(record.observed, static_cast<double>(record.second)) + 0.1));
    if (step.duration >= 0) {
      EXPECT_DOUBLE_EQ(db.column(record.second, "duration"), step.duration);
      EXPECT_NEAR(db.column(record.second, "energy_wh"),
                  step.duration * (previous.value_or(0) + step.watts.value_or(0)) / 2 / 3600, 1e-15);
    }
    previous = step.watts;
  }
  EXPECT_EQ(db.count("watts IS NULL AND second=" + std::to_string(kBase + 11)), 1);
  EXPECT_EQ(db.column(kBase + 11, "energy_wh"), 0);
}

TEST(HistoryStore, DuplicatesKeepTheFirstRowAndOnlyOwnDuplicatesKeepContinuity) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  {
    HistoryStore earlier(url);
    write(earlier, makeRecord(kBase + 5, 7, 0.5));
  }
  HistoryStore store(url);
  Inspector db(url);
  write(store, makeRecord(kBase, 10, 0.2));
  write(store, makeRecord(kBase, 99, 0.7));  // same second again: ignored
  EXPECT_EQ(db.column(kBase, "watts"), 10);
  write(store, makeRecord(kBase + 1, 20, 0.2));  // integrated against the first row of kBase
  EXPECT_DOUBLE_EQ(db.column(kBase + 1, "energy_wh"), 15.0 / 3600);
  write(store, makeRecord(kBase + 4, 20, 0.2));
  write(store, makeRecord(kBase + 5, 30, 0.2));  // written by the earlier process: ignored
  EXPECT_EQ(db.column(kBase + 5, "watts"), 7);
  write(store, makeRecord(kBase + 6, 30, 0.2));  // its basis is unknown: not integrated
  EXPECT_EQ(db.column(kBase + 6, "duration"), 0);
  EXPECT_EQ(db.count(), 5);
}

TEST(HistoryStore, AcceptsOnlySecondsInsideTheRetainedWeekUpToNow) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  HistoryStore store(url);
  Inspector db(url);
  const Date now = dateFromSeconds(kBase + 0.5);
  store.record(makeRecord(kBase, 10, 0.1), 1000, now);
  store.record(makeRecord(kBase + 1, 10, 0.1), 1001, now);       // from the future: dropped
  store.record(makeRecord(kBase - 604800, 10, 0.1), 1001, now);  // a week old: dropped
  store.record(makeRecord(kBase - 604799, 10, 0.1), 1001, now);  // just inside
  EXPECT_EQ(db.count(), 2);
  EXPECT_TRUE(db.has(kBase - 604799));

  // A dropped record breaks continuity.
  store.record(makeRecord(kBase + 1, 10, 0.1), 1001, dateFromSeconds(kBase + 1.2));
  store.record(makeRecord(kBase + 2, 10, 0.1), 1002, dateFromSeconds(kBase + 2.2));
  store.record(makeRecord(kBase + 4, 10, 0.1), 1004, dateFromSeconds(kBase + 3.2));  // future
  store.record(makeRecord(kBase + 3, 10, 0.1), 1003, dateFromSeconds(kBase + 3.2));
  EXPECT_EQ(db.column(kBase + 2, "duration"), 1);
  EXPECT_EQ(db.column(kBase + 3, "duration"), 0);
}

TEST(HistoryStore, ClockSetBackNeitherKeepsRowsLongerNorAcceptsOlderOnes) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  Inspector db(url);
  const std::int64_t newest = kBase + 15;
  {
    HistoryStore store(url);
    for (std::int64_t s = kBase - 604790; s <= kBase - 604780; ++s)
      store.record(makeRecord(s, 5), 1000 + s - kBase, dateFromSeconds(kBase - 604780 + 0.9));
    write(store, makeRecord(newest, 10));
    // The clock goes back by an hour.
    const Date behind = dateFromSeconds(newest - 3600 + 0.5);
    store.record(makeRecord(newest - 3600, 10), 5000, behind);
    EXPECT_TRUE(db.has(newest - 3600));
    // Within a week of the clock, but not of the newest second seen.
    store.record(makeRecord(kBase - 604800 - 100, 10), 5001, behind);
    EXPECT_FALSE(db.has(kBase - 604800 - 100));
    // Retention counts from the newest second, not from the clock that went back.
    EXPECT_EQ(db.count("second <= " + std::to_string(newest - 604800)), 0);
    EXPECT_EQ(db.count("second < " + std::to_string(kBase)), 5 + 1);
  }
  // A later process with the clock still behind learns the newest second from the table.
  HistoryStore store(url);
  const Date behind = dateFromSeconds(newest - 3590 + 0.5);
  store.record(makeRecord(newest - 604800, 10), 6000, behind);
  EXPECT_FALSE(db.has(newest - 604800));
  const HistorySummary summary = store.summary(0, newest, behind);
  EXPECT_EQ(summary.lower, newest - 604799);
  EXPECT_EQ(summary.upper, newest - 3590);
  EXPECT_EQ(summary.recorded, 5 + 1);
  // Seconds after the clock's "now" are not shown, even when stored.
  EXPECT_TRUE(store.seconds(newest, behind).empty());
}

TEST(HistoryStore, SummaryFoldsTheRangeIntoAlignedBuckets) {
  TemporaryDirectory directory;
  HistoryStore store(directory / "history.sqlite3");
  const std::int64_t lower = kBase;
  // 0..59 with power, 60..71 without, 72..599 missing, 600..3600 with power.
  for (std::int64_t s = 0; s < 60; ++s) write(store, makeRecord(lower + s, 10 + s % 6));
  for (std::int64_t s = 60; s < 72; ++s) write(store, makeRecord(lower + s, std::nullopt));
  for (std::int64_t s = 600; s <= 3600; ++s) write(store, makeRecord(lower + s, 20));
  const Date now = dateFromSeconds(lower + 4000);

  const HistorySummary hour = store.summary(lower, lower + 3599, now, 600);
  EXPECT_EQ(hour.bucketWidth, 6);
  EXPECT_EQ(hour.lower, lower);
  EXPECT_EQ(hour.upper, lower + 3599);
  // 10 buckets of power, 2 without, then none until 600.
  ASSERT_EQ(hour.buckets.size(), 10u + 2u + 500u);
  EXPECT_EQ(hour.buckets[0], (HistoryBucket{lower, 10.0, 15.0, 12.5, 6, 6}));
  EXPECT_TRUE(hour.buckets[0].complete());
  EXPECT_EQ(hour.buckets[10], (HistoryBucket{lower + 60, {}, {}, {}, 0, 6}));
  EXPECT_FALSE(hour.buckets[10].complete());
  EXPECT_EQ(hour.buckets[12].second, lower + 600);
  EXPECT_EQ(hour.buckets.back().expected, 6);
  EXPECT_EQ(hour.recorded, 60 + 12 + 3000);
  EXPECT_EQ(hour.valid, 60 + 3000);
  EXPECT_EQ(hour.peak, 20);
  EXPECT_DOUBLE_EQ(*hour.average(), (60 * 12.5 + 3000 * 20) / 3060.0);
  // Seconds 1..59 and 601..3599 were integrated against their predecessors.
  EXPECT_DOUBLE_EQ(hour.integratedSeconds, 59 + 2999);
  EXPECT_NEAR(hour.wattHours, (59 * 12.5 + 2999 * 20) / 3600, 0.01);

  // The row at `lower` has an interval that began before the range.
  const HistorySummary fromSecond = store.summary(lower + 601, lower + 700, now, 600);
  EXPECT_DOUBLE_EQ(fromSecond.integratedSeconds, 99);
  EXPECT_NEAR(fromSecond.wattHours, 99 * 20.0 / 3600, 1e-12);
  const HistorySummary longer = store.summary(lower, lower + 3600, now, 600);
  EXPECT_EQ(longer.bucketWidth, 7);
  EXPECT_EQ(longer.buckets.back(), (HistoryBucket{lower + 3598, 20.0, 20.0, 20.0, 3, 3}));
  EXPECT_EQ(store.summary(lower, lower + 899, now, 600).bucketWidth, 2);
  EXPECT_EQ(store.summary(lower, lower + 299, now, 600).bucketWidth, 1);
  EXPECT_EQ(store.summary(lower + 4000 - 604799, lower + 4000, now, 280).bucketWidth, 2160);
  // Nonsense bucket counts are read as one bucket, never a division by zero.
  EXPECT_EQ(store.summary(lower, lower + 99, now, 0).bucketWidth, 100);

  // Empty ranges, the future and before the week give the empty summary; recorded seconds without power
  // count but have no average.
  const HistorySummary nothing;
  EXPECT_EQ(nothing.bucketWidth, 1);
  EXPECT_FALSE(nothing.average());
  EXPECT_EQ(store.summary(lower, lower - 1, now), nothing);
  EXPECT_EQ(store.summary(lower + 4001, lower + 4100, now), nothing);
  EXPECT_EQ(store.summary(lower + 4000 - 604800 - 50, lower + 4000 - 604800, now), nothing);
  const HistorySummary unpowered = store.summary(lower + 60, lower + 71, now);
  EXPECT_EQ(unpowered.recorded, 12);
  EXPECT_EQ(unpowered.valid, 0);
  EXPECT_EQ(unpowered.peak, 0);
  EXPECT_FALSE(unpowered.average());
}

TEST(HistoryStore, SecondsReturnsElevenRowsAroundASecondNeverAfterNow) {
  TemporaryDirectory directory;
  HistoryStore store(directory / "history.sqlite3");
  for (std::int64_t s = 0; s < 30; ++s) {
    HistoryRecord record = makeRecord(kBase + s, s == 12 ? std::nullopt : std::optional<double>(s));
    record.cpu = s / 10.0;
    record.estimated = s % 2 == 1;
    write(store, record);
  }
  std::vector<HistorySecond> rows = store.seconds(kBase + 10, dateFromSeconds(kBase + 40));
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows.front().second, kBase + 5);
  EXPECT_EQ(rows.back().second, kBase + 15);
  const HistorySecond& row = rows[5];
  EXPECT_EQ(
      std::tie(row.second, row.watts, row.cpu, row.gpu, row.external, row.flow, row.estimated, row.source),
      std::make_tuple(kBase + 10, 10.0, 1.0, std::optional<double>(), true, "charging", false, "sensor"));
  EXPECT_DOUBLE_EQ(*row.sensorTime, kBase + 10.4);
  EXPECT_FALSE(rows[7].watts);
  EXPECT_TRUE(rows[6].estimated);
  // Near the present only what has happened comes back; extreme seconds are clipped, not overflowed.
  rows = store.seconds(kBase + 20, dateFromSeconds(kBase + 22.9));
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.back().second, kBase + 22);
  EXPECT_TRUE(store.seconds(INT64_MAX, dateFromSeconds(kBase + 40)).empty());
  EXPECT_TRUE(store.seconds(INT64_MIN, dateFromSeconds(kBase + 40)).empty());
}

TEST(HistoryStore, MaintenanceRunsOnTheFirstPruneAndThenHourly) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  HistoryStore store(url);
  Inspector db(url);
  for (std::int64_t s = kBase; s < kBase + 3000; ++s) write(store, makeRecord(s, 5));
  auto freePages = [&] { return *db.number("PRAGMA freelist_count"); };
  EXPECT_EQ(freePages(), 0);
  const std::int64_t later = kBase + 604800;
  store.prune(later + 1500);  // deletes half the rows; an hour since the last run: vacuums
  const double afterFirst = freePages();
  store.prune(later + 3000);  // deletes the rest; within the hour: no vacuum
  EXPECT_EQ(db.count(), 0);
  const double afterSecond = freePages();
  EXPECT_GT(afterSecond, afterFirst + 32);
  store.prune(later + 1500 + 3599);
  EXPECT_EQ(freePages(), afterSecond);
  store.prune(later + 1500 + 3600);
  EXPECT_EQ(freePages(), afterSecond - 32);
}
TEST(HistoryStore, DefaultLocationFollowsTheXdgDataHome) {
  auto at = [](std::optional<std::string> identifier, std::map<std::string, std::string> values) {
    return HistoryStore::defaultURL(identifier, [&](std::string_view name) -> std::optional<std::string> {
      const auto it = values.find(std::string(name));
      return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
  };
  using Path = std::filesystem::path;
  EXPECT_EQ(at("local.wattline.mac", {{"XDG_DATA_HOME", "/data"}, {"HOME", "/h"}}),
            Path("/data/Wattline/history.sqlite3"));
  EXPECT_EQ(at(std::nullopt, {{"HOME", "/home/ada"}}),
            Path("/home/ada/.local/share/Wattline/history.sqlite3"));
  // A relative or empty data home is not a data home.
  EXPECT_EQ(at(std::nullopt, {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}),
            Path("/h/.local/share/Wattline/history.sqlite3"));
  EXPECT_EQ(at(std::nullopt, {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}),
            Path("/h/.local/share/Wattline/history.sqlite3"));
  EXPECT_EQ(at("local.wattline.history-candidate", {{"XDG_DATA_HOME", "/d"}}),
            Path("/d/Wattline-History-Candidate/history.sqlite3"));
  EXPECT_EQ(at("local.wattline.history-candidate.x", {{"XDG_DATA_HOME", "/d"}}),
            Path("/d/Wattline/history.sqlite3"));
  EXPECT_FALSE(at(std::nullopt, {}));
  EXPECT_EQ(HistoryStore::urlInDirectory("/tmp/h"), Path("/tmp/h/history.sqlite3"));
}

}  // namespace
}  // namespace wattline
