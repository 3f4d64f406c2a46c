// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_store.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>

#include "history_test_support.h"
#include "platform/testing/settable_clock_synchronisation.h"

namespace wattline {
namespace {

using namespace testing;

TEST(HistoryStore, IntegratesEnergyOnlyBetweenAdjacentSecondsWhenTheClocksAgree) {
  FixtureCopy directory("");
  HistoryStore store(directory.path("history.sqlite3"));
  Inspector db(directory.path("history.sqlite3"));
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
      {10, 20, 0.25, 0, 0},            // a missing second
      {11, std::nullopt, 0.25, 0, 0},  // no power: NULL, zero energy
      {12, 20, 0.25, 0, 0},            // nothing to integrate against
      {13, 20, 0.25, 0, 1},
      {14, 20, 0.25, 0, 0},  // after a break in continuity
  };
  std::optional<double> previous;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.second);
    if (step.second == 14) store.breakContinuity();
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
  EXPECT_EQ(db.count("watts IS NULL"), 1);
}

TEST(HistoryStore, WritesEachSecondOnceInsideTheRetainedWeekUpToNow) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  write(*std::make_unique<HistoryStore>(url), makeRecord(kBase + 5, 7));
  HistoryStore store(url);
  Inspector db(url);
  write(store, makeRecord(kBase, 10, 0.2));
  write(store, makeRecord(kBase, 99, 0.7));      // same second again: ignored
  write(store, makeRecord(kBase + 1, 20, 0.2));  // integrated against the first row of kBase
  EXPECT_DOUBLE_EQ(db.column(kBase + 1, "energy_wh"), 15.0 / 3600);
  write(store, makeRecord(kBase + 4, 20, 0.2));
  write(store, makeRecord(kBase + 5, 30, 0.2));  // written by the earlier process: ignored
  write(store, makeRecord(kBase + 6, 30, 0.2));  // its basis is unknown: not integrated
  EXPECT_EQ(std::make_tuple(db.column(kBase, "watts"), db.column(kBase + 5, "watts"),
                            db.column(kBase + 6, "duration")),
            std::make_tuple(10.0, 7.0, 0.0));

  const Date now = dateFromSeconds(kBase + 7.5);
  store.record(makeRecord(kBase + 8, 10, 0.1), 1008.1, now);  // from the future: dropped, breaking continuity
  store.record(makeRecord(kBase + 7, 10, 0.1), 1007.1, now);
  store.record(makeRecord(kBase + 7 - 604800, 10), 1, now);  // a week old: dropped
  store.record(makeRecord(kBase + 8 - 604800, 10), 1, now);  // just inside
  EXPECT_EQ(std::make_tuple(db.count(), db.has(kBase + 8 - 604800), db.column(kBase + 7, "duration")),
            std::make_tuple(std::int64_t{7}, true, 0.0));
}

TEST(HistoryStore, ClockSetBackNeitherKeepsRowsLongerNorAcceptsOlderOnes) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
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
  EXPECT_EQ(std::tie(summary.lower, summary.upper, summary.recorded),
            std::make_tuple(newest - 604799, newest - 3590, std::int64_t{5 + 1}));
  // Seconds after the clock's "now" are not shown, even when stored.
  EXPECT_TRUE(store.seconds(newest, behind).empty());
}

// A clock far behind the newest row (a dead RTC before the network sets the time, a machine booted into an
// old snapshot) deletes nothing and holds recording back until the kernel has called it synchronised for a
// minute, or it has stayed behind for a day of running time; then the rows ahead of it are forgotten.
TEST(HistoryStore, ClockAWeekBehindHoldsRecordingUntilItCanBeTrusted) {
  const std::int64_t newest = kBase + 99;
  const std::string held = "系统时间早于已有记录，暂停记录";
  struct Step {
    double after;  // running seconds since the first record behind
    bool synchronised;
    std::int64_t rows;  // afterwards; 100 while every row is kept and nothing is written
  };
  const struct {
    const char* name;
    std::int64_t behind;
    std::vector<Step> steps;
  } cases[] = {
      {"less than a week behind", 604799, {{0, false, 101}}},
      {"never synchronised", 30 * 86400, {{0, false, 100}, {86399, false, 100}, {86400, false, 1}}},
      {"synchronised", 30 * 86400, {{0, true, 100}, {59, true, 100}, {60, true, 1}}},
      {"synchronisation lost",
       604800 + 200,
       {{0, true, 100}, {30, false, 100}, {61, true, 100}, {121, true, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FixtureCopy directory("");
    const std::filesystem::path url = directory.path("history.sqlite3");
    SettableClockSynchronisation clock;
    HistoryStore store(url, {&clock, nullptr});
    Inspector db(url);
    for (std::int64_t s = kBase; s <= newest; ++s) write(store, makeRecord(s, 10));
    for (const Step& step : c.steps) {
      clock.value = step.synchronised;
      const std::int64_t second = newest - c.behind + static_cast<std::int64_t>(step.after);
      const auto error = failureOf(
          [&] { store.record(makeRecord(second, 12), 5000 + step.after, dateFromSeconds(second + 0.6)); });
      EXPECT_EQ(error, step.rows == 100 ? std::optional(held) : std::nullopt) << step.after;
      EXPECT_EQ(db.count(), step.rows) << step.after;
    }
  }
}

// Another program's file, or a later version's history, is refused with one message and left byte for
// byte, without side files; an empty file and the history of the releases before the mark are taken up.
TEST(HistoryStore, WritesOnlyFilesItCanTellAreItsOwn) {
  const std::string ours = kHistoryUpgrades[0];
  const std::string foreign = "历史库不是瓦迹的文件，未作改动", newer = "历史库来自更新版本的瓦迹，未作改动";
  const struct {
    const char* name;
    std::string sql;  // run on a new file; absent: the file holds `text`
    std::string text;
    std::optional<std::string> refusal;
  } cases[] = {
      {"another program's samples",
       "CREATE TABLE samples (second INTEGER PRIMARY KEY, value REAL); INSERT INTO samples VALUES (1, 2);"
       "PRAGMA user_version=1;",
       "", foreign},
      {"another program's mark", "PRAGMA application_id=1234;" + ours, "", foreign},
      {"a later version", ours + "PRAGMA user_version=99; PRAGMA application_id=1465142350;", "", newer},
      {"not SQLite", "", std::string(5000, 'g'), foreign},
      {"empty", "", "", std::nullopt},
      {"the release before the mark",
       ours + "PRAGMA user_version=1; INSERT INTO samples VALUES (" + std::to_string(kBase - 10) +
           ",0,5,NULL,NULL,NULL,NULL,NULL,0,'',0,'',NULL,'',0,0);",
       "", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FixtureCopy directory("");
    const std::filesystem::path url = directory.path("history.sqlite3");
    std::ofstream(url) << c.text;
    if (!c.sql.empty()) Inspector(url).execute(c.sql);
    const std::string before = fileBytes(url);
    HistoryStore store(url);
    const std::optional<std::string> refusal =
        c.refusal ? std::optional(*c.refusal + ": " + url.string()) : std::nullopt;
    EXPECT_EQ(failureOf([&] { write(store, makeRecord(kBase, 10)); }), refusal);
    EXPECT_EQ(failureOf([&] { store.summary(kBase - 60, kBase, dateFromSeconds(kBase + 1)); }), refusal);
    if (c.refusal) {
      EXPECT_EQ(fileBytes(url), before);
      EXPECT_FALSE(std::filesystem::exists(url.string() + "-wal") ||
                   std::filesystem::exists(url.string() + "-shm"));
      continue;
    }
    Inspector db(url);
    EXPECT_EQ(
        std::make_tuple(db.text("PRAGMA application_id"), db.text("PRAGMA user_version"), db.has(kBase)),
        std::make_tuple("1465142350", "3", true));
    EXPECT_EQ(db.count(), c.sql.empty() ? 1 : 2);
  }
}

// SQLite would read a file it may not write alone and make its side files with the file's read-only mode,
// which no one could write again. The store reads the file as it is, records nothing, and goes on
// recording once the file (or a side file an older release left behind) can be written.
TEST(HistoryStore, ReadOnlyFileIsReadAndRecordingResumesOnceItIsWritable) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  const std::string outcome = asUnprivilegedUser(directory.path(), [&] {
    std::string seen;
    auto attempt = [&](HistoryStore& store, std::int64_t second) {
      seen += failureOf([&] { write(store, makeRecord(second, 10)); }).value_or("written") + "\n";
    };
    {
      HistoryStore store(url);
      for (std::int64_t s = kBase; s < kBase + 3; ++s) attempt(store, s);
    }
    ::chmod(url.c_str(), 0444);
    auto store = std::make_unique<HistoryStore>(url);
    attempt(*store, kBase + 3);
    seen += std::to_string(store->summary(kBase, kBase + 3, dateFromSeconds(kBase + 4)).recorded) + " read\n";
    for (const char* side : {"-wal", "-shm"})
      if (std::filesystem::exists(url.string() + side)) seen += std::string(side) + " made\n";
    ::chmod(url.c_str(), 0644);
    attempt(*store, kBase + 4);
    // The side files an older release let SQLite make read-only beside a file it could only read: an
    // empty log and a log index in use.
    store.reset();
    for (const auto& [side, size] : {std::pair{"-wal", 0}, {"-shm", 32768}}) {
      std::ofstream(url.string() + side) << std::string(size, '\0');
      ::chmod((url.string() + side).c_str(), 0444);
    }
    store = std::make_unique<HistoryStore>(url);
    attempt(*store, kBase + 5);
    return seen;
  });
  EXPECT_EQ(outcome, "written\nwritten\nwritten\n历史库只读，不记录: " + url.string() +
                         "\n3 read\nwritten\nwritten\n");
}

// Deleting or moving the database while it is open: the store says so once and goes on in a new file at
// the path; a moved database keeps every row, those still in the log included.
TEST(HistoryStore, DatabaseMovedOrDeletedWhileOpenIsFollowedByANewFile) {
  for (const bool moved : {false, true}) {
    SCOPED_TRACE(moved ? "moved" : "deleted");
    FixtureCopy directory("");
    const std::filesystem::path url = directory.path("history.sqlite3"),
                                away = directory.path("away.sqlite3");
    std::vector<std::string> notices;
    HistoryStore store(url, {nullptr, [&](const std::string& notice) { notices.push_back(notice); }});
    for (std::int64_t s = kBase; s < kBase + 3; ++s) write(store, makeRecord(s, 10));
    if (moved)
      std::filesystem::rename(url, away);
    else
      std::filesystem::remove(url);
    write(store, makeRecord(kBase + 3, 10));
    write(store, makeRecord(kBase + 4, 10));
    EXPECT_EQ(notices, std::vector<std::string>{"历史库已被移走或删除，已在原处新建: " + url.string()});
    Inspector db(url);
    EXPECT_EQ(std::make_tuple(db.count(), db.has(kBase + 3), db.text("PRAGMA application_id")),
              std::make_tuple(2, true, "1465142350"));
    if (moved) {
      EXPECT_EQ(Inspector(away).count(), 3);
    }
  }
}

// The buckets as one grouped statement computes them; the store reads the same rows in key order instead.
HistorySummary groupedSummary(sqlite3* db, std::int64_t lower, std::int64_t upper, std::int64_t width) {
  static const char* kGrouped =
      "SELECT (second-?)/?, MIN(watts),MAX(watts),AVG(watts),COUNT(watts),COUNT(*),\n"
      "       SUM(CASE WHEN second > ? THEN energy_wh ELSE 0 END),\n"
      "       SUM(CASE WHEN second > ? THEN duration ELSE 0 END)\n"
      "FROM samples WHERE second BETWEEN ? AND ? GROUP BY (second-?)/? ORDER BY 1";
  sqlite3_stmt* query = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, kGrouped, -1, &query, nullptr), SQLITE_OK);
  for (int i = 0; const std::int64_t value : {lower, width, lower, lower, lower, upper, lower, width})
    sqlite3_bind_int64(query, ++i, value);
  HistorySummary summary;
  std::tie(summary.lower, summary.upper, summary.bucketWidth) = std::tie(lower, upper, width);
  auto optional = [&](int column) {
    return sqlite3_column_type(query, column) == SQLITE_NULL
               ? std::nullopt
               : std::optional(sqlite3_column_double(query, column));
  };
  while (sqlite3_step(query) == SQLITE_ROW) {
    const std::int64_t second = lower + sqlite3_column_int64(query, 0) * width;
    summary.buckets.push_back({second, optional(1), optional(2), optional(3), sqlite3_column_int64(query, 4),
                               std::min(upper - second + 1, width)});
    summary.valid += sqlite3_column_int64(query, 4);
    summary.recorded += sqlite3_column_int64(query, 5);
    summary.wattHours += sqlite3_column_double(query, 6);
    summary.integratedSeconds += sqlite3_column_double(query, 7);
    summary.peak = std::max(summary.peak, optional(2).value_or(0));
  }
  EXPECT_EQ(sqlite3_finalize(query), SQLITE_OK);
  return summary;
}

// `expected` with its sums and means taken from `actual` where they are within 1e-9 relative: sums taken in
// another order may differ in their last bits.
HistorySummary adoptedWhereClose(HistorySummary expected, const HistorySummary& actual) {
  const auto adoptWhenClose = [](double& wanted, double got) {
    if (std::abs(wanted - got) <= 1e-9 * std::abs(wanted)) wanted = got;
  };
  adoptWhenClose(expected.wattHours, actual.wattHours);
  adoptWhenClose(expected.integratedSeconds, actual.integratedSeconds);
  for (std::size_t i = 0; i < std::min(actual.buckets.size(), expected.buckets.size()); ++i)
    if (actual.buckets[i].average && expected.buckets[i].average)
      adoptWhenClose(*expected.buckets[i].average, *actual.buckets[i].average);
  return expected;
}

TEST(HistoryStore, SummaryMatchesTheGroupedStatementOnRandomHistories) {
  std::mt19937_64 random(1106);
  std::uniform_real_distribution<double> unit(0, 1);
  int unpoweredBuckets = 0, skippedBuckets = 0;
  for (int history = 0; history < 3; ++history) {
    FixtureCopy directory("");
    HistoryStore store(directory.path("history.sqlite3"));
    Inspector db(directory.path("history.sqlite3"));
    store.prune(kBase);
    // Runs of rows with power, without power and missing, of up to an hour each.
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db.handle(),
                       "INSERT INTO samples VALUES (?,0,?,NULL,NULL,NULL,NULL,NULL,0,'',0,'',NULL,'',?,?)",
                       -1, &insert, nullptr);
    db.execute("BEGIN");
    for (std::int64_t second = kBase - 40000; second <= kBase;) {
      const double kind = unit(random);
      for (const std::int64_t end = second + static_cast<std::int64_t>(unit(random) * 3600);
           second <= std::min(end, kBase); ++second) {
        if (kind < 0.2) continue;
        sqlite3_bind_int64(insert, 1, second);
        kind < 0.35 ? sqlite3_bind_null(insert, 2) : sqlite3_bind_double(insert, 2, unit(random) * 40);
        sqlite3_bind_double(insert, 3, unit(random) / 90);
        sqlite3_bind_double(insert, 4, unit(random) * 1.75);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
      }
    }
    EXPECT_EQ(sqlite3_finalize(insert), SQLITE_OK);
    db.execute("COMMIT");
    for (int range = 0; range < 12; ++range) {
      const std::int64_t from =
          kBase - static_cast<std::int64_t>(unit(random) * (range < 4 ? 604800 : 42000));
      const std::int64_t through = from + static_cast<std::int64_t>(unit(random) * 45000);
      const int buckets = std::array{1, 7, 280, 600, 1000000}[random() % 5];
      const Date now = dateFromSeconds(kBase + 0.5);
      const HistorySummary summary = store.summary(from, through, now, buckets);
      const HistorySummary grouped = adoptedWhereClose(
          groupedSummary(db.handle(), summary.lower, summary.upper, summary.bucketWidth), summary);
      for (std::size_t i = 0; i < summary.buckets.size(); ++i) {
        const HistoryBucket& bucket = summary.buckets[i];
        unpoweredBuckets += bucket.valid == 0;
        skippedBuckets += i > 0 && bucket.second - summary.buckets[i - 1].second > summary.bucketWidth;
      }
      const auto differ = std::mismatch(summary.buckets.begin(), summary.buckets.end(),
                                        grouped.buckets.begin(), grouped.buckets.end());
      EXPECT_EQ(summary, grouped) << from << " … " << through << " in " << buckets << ": buckets differ from "
                                  << differ.first - summary.buckets.begin();

      // Buckets on multiples of the width hold the same rows, and two ranges that meet on an edge fold
      // into the buckets of the whole.
      const std::int64_t width = summary.bucketWidth, middle = from + (through - from) / 2;
      const std::int64_t cut = std::max(middle - middle % width, from);
      const HistorySummary whole = store.buckets(from, through, now, width);
      HistorySummary joined = store.buckets(from, cut - 1, now, width);
      for (const HistoryBucket& bucket : store.buckets(cut, through, now, width).buckets)
        joined.buckets.push_back(bucket);
      EXPECT_EQ(std::make_tuple(whole.valid, whole.recorded, whole.buckets),
                std::make_tuple(summary.valid, summary.recorded, joined.buckets))
          << from << " … " << through << " cut at " << cut;
    }
  }
  EXPECT_GT(unpoweredBuckets, 0);
  EXPECT_GT(skippedBuckets, 0);
}

// The week's overview reads its whole buckets from their sums, which follow the rows: a second added late
// to a summed bucket, the retained week moving on and the clock found far ahead.
TEST(HistoryStore, OverviewBucketsSummedBesideTheRowsAgreeWithTheRows) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  constexpr std::int64_t width = kHistoryBucketWidth;
  const std::int64_t from = kBase - kBase % width - 4 * width;
  { HistoryStore(url).prune(from); }
  Inspector db(url);
  db.execute("BEGIN");
  for (std::int64_t s = from - 100; s < kBase; ++s)
    if (s % 13 != 0)
      db.execute("INSERT INTO samples VALUES (" + std::to_string(s) + ",0," +
                 (s % 7 == 0 ? "NULL" : std::to_string(s % 41)) +
                 ",NULL,NULL,NULL,NULL,NULL,0,'',0,'',NULL,'',0.001,1)");
  db.execute("COMMIT");

  SettableClockSynchronisation clock;
  HistoryStore store(url, {&clock, nullptr});
  const Date now = dateFromSeconds(kBase + 0.5);
  auto expectRowsAgree = [&](const char* when) {
    const HistorySummary read = store.buckets(from, kBase, now, width);
    EXPECT_EQ(read, adoptedWhereClose(groupedSummary(db.handle(), from, kBase, width), read)) << when;
  };
  expectRowsAgree("summed");
  const std::string summed = "SELECT COUNT(*) FROM sample_buckets WHERE bucket > " + std::to_string(from);
  EXPECT_EQ(db.text(summed), "3");
  write(store, makeRecord(from + 2 * width + 13 * 5, 99));
  expectRowsAgree("a second added late");
  EXPECT_EQ(db.text(summed), "2");

  // The week moves on past the first two buckets; then a clock a month behind, synchronised for a minute:
  // what lies ahead of it goes, with its sums.
  store.prune(from + kHistoryRetention + 3600);
  EXPECT_EQ(db.text("SELECT MIN(bucket) FROM sample_buckets"), std::to_string(from + width));
  clock.value = true;
  const std::int64_t behind = kBase - 30 * 86400;
  for (const double uptime : {10.0, 70.0})
    failureOf([&] { store.record(makeRecord(behind, 5), uptime, dateFromSeconds(behind + 0.6)); });
  EXPECT_EQ(std::make_tuple(db.text("SELECT COUNT(*) FROM sample_buckets"), db.count()),
            std::make_tuple("0", std::int64_t{1}));
}

TEST(HistoryStore, SummaryWidthsEmptyRangesAndTheElevenSecondsAroundOne) {
  FixtureCopy directory("");
  HistoryStore store(directory.path("history.sqlite3"));
  const Date now = dateFromSeconds(kBase + 0.5);
  // Seconds in the range, buckets asked for, and the whole seconds each bucket spans.
  const std::tuple<int, int, int> widths[] = {{3600, 600, 6}, {3601, 600, 7},      {900, 600, 2},
                                              {300, 600, 1},  {604800, 280, 2160}, {100, 0, 100}};
  for (const auto& [seconds, buckets, width] : widths)
    EXPECT_EQ(store.summary(kBase - seconds + 1, kBase, now, buckets).bucketWidth, width) << seconds;
  for (std::int64_t s = -29; s <= 0; ++s) {
    HistoryRecord record = makeRecord(kBase + s, s == -18 ? std::nullopt : std::optional<double>(s + 30));
    record.cpu = (s + 30) / 10.0;
    record.estimated = s % 2 != 0;
    write(store, record);
  }
  for (const auto& [from, through] :
       {std::pair{kBase, kBase - 1}, {kBase + 1, kBase + 100}, {kBase - 604900, kBase - 604800}})
    EXPECT_EQ(store.summary(from, through, now), HistorySummary{}) << from - kBase << " " << through - kBase;

  std::vector<HistorySecond> rows = store.seconds(kBase - 20, dateFromSeconds(kBase + 10));
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows.front().second, kBase - 25);
  const HistorySecond& row = rows[5];
  EXPECT_EQ(
      std::tie(row.second, row.watts, row.cpu, row.gpu, row.external, row.flow, row.estimated, row.source),
      std::make_tuple(kBase - 20, 10.0, 1.0, std::optional<double>(), true, "charging", false, "sensor"));
  EXPECT_DOUBLE_EQ(*row.sensorTime, kBase - 19.6);
  EXPECT_TRUE(!rows[7].watts && rows[6].estimated);
  // Near the present only what has happened comes back; extreme seconds are clipped, not overflowed.
  rows = store.seconds(kBase - 10, dateFromSeconds(kBase - 7.1));
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows.back().second, kBase - 8);
  EXPECT_TRUE(store.seconds(INT64_MAX, now).empty() && store.seconds(INT64_MIN, now).empty());
}

// The checkpoint copies the pages of the write-ahead log into the database file, so the file grows only
// when it runs; the vacuum returns at most 32 free pages a run.
TEST(HistoryStore, MaintenanceRunsOnTheFirstPruneOfAProcessAndThenHourly) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  Inspector db(url);
  auto store = std::make_unique<HistoryStore>(url);
  auto writeFrom = [&](std::int64_t first) {
    for (std::int64_t s = first; s < first + 400; ++s) write(*store, makeRecord(s, 5));
  };
  auto bytes = [&] { return std::filesystem::file_size(url); };
  writeFrom(kBase);
  db.count();  // a second connection keeps the log when the store closes
  std::uintmax_t before = bytes();
  store->prune(kBase + 3599);
  EXPECT_EQ(bytes(), before);
  store->prune(kBase + 3600);
  EXPECT_GT(bytes(), before);
  writeFrom(kBase + 3601);
  before = bytes();
  store = std::make_unique<HistoryStore>(url);
  store->prune(kBase + 4001);
  EXPECT_GT(bytes(), before) << "the first prune of a process";

  for (std::int64_t s = kBase + 4001; s <= kBase + 9600; ++s) write(*store, makeRecord(s, 5));
  auto freePages = [&] { return std::stoi(*db.text("PRAGMA freelist_count")); };
  const std::int64_t later = kBase + 9600 + 604800;
  store->prune(later);  // deletes every row, an hour after the last run: vacuums
  EXPECT_EQ(db.count(), 0);
  const int free = freePages();
  EXPECT_GT(free, 96);
  store->prune(later + 3599);
  EXPECT_EQ(freePages(), free);
  store->prune(later + 3600);
  EXPECT_EQ(freePages(), free - 32);
  // A clock that ran far ahead and came back does not hold the maintenance off until it catches up.
  SettableClockSynchronisation synchronised;
  synchronised.value = true;
  store = std::make_unique<HistoryStore>(url, HistoryStoreOptions{&synchronised, nullptr});
  write(*store, makeRecord(later + 3600 + 200 * 86400, 5));
  const int beforeCorrection = freePages();
  const auto correct = [&](double after) {
    store->record(makeRecord(later + 3601, 5), 90000 + after, dateFromSeconds(later + 3602));
  };
  EXPECT_TRUE(failureOf([&] { correct(0); }));  // trusted only after a minute
  correct(60);
  store->prune(later + 3603);
  EXPECT_LT(freePages(), beforeCorrection);
}

TEST(HistoryStore, DefaultLocationFollowsTheXdgDataHomeAndIsMadePrivate) {
  auto at = [](const char* identifier, std::map<std::string, std::string> values) {
    return HistoryStore::defaultURL(identifier, [&](std::string_view name) -> std::optional<std::string> {
      return values.contains(std::string(name)) ? std::optional(values[std::string(name)]) : std::nullopt;
    });
  };
  EXPECT_EQ(at("local.wattline.mac", {{"XDG_DATA_HOME", "/d"}, {"HOME", "/h"}}),
            "/d/Wattline/history.sqlite3");
  // A relative or empty data home is not a data home.
  EXPECT_EQ(at("", {{"XDG_DATA_HOME", "rel"}, {"HOME", "/h"}}), "/h/.local/share/Wattline/history.sqlite3");
  EXPECT_EQ(at("local.wattline.history-candidate", {{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}),
            "/h/.local/share/Wattline-History-Candidate/history.sqlite3");
  EXPECT_FALSE(at("", {{"HOME", "home"}}));

  // The directories made on the way are the user's alone.
  FixtureCopy home("");
  HistoryStore made(home.path("share/Wattline/history.sqlite3"));
  write(made, makeRecord(kBase, 10));
  for (const char* directory : {"share", "share/Wattline"})
    EXPECT_EQ(std::filesystem::status(home.path(directory)).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all)
        << directory;
}

}  // namespace
}  // namespace wattline
