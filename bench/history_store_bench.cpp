// SPDX-License-Identifier: GPL-3.0-or-later

#include <benchmark/benchmark.h>

#include <chrono>
#include <iostream>

#include "platform/testing/history_week.h"

namespace wattline::bench {
namespace {

using namespace wattline::testing;

const Date kNow = dateFromSeconds(kWeekEnd + 0.5);

// The week is made once per run of this program.
struct Week {
  ScratchDirectory directory;
  std::filesystem::path url = directory.path() / "history.sqlite3";
  double fillSeconds = 0;
  std::uintmax_t fileBytes = 0;

  Week() {
    const auto start = std::chrono::steady_clock::now();
    fillWeek(url);
    fillSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fileBytes = std::filesystem::file_size(url);
    std::cerr << "week of 604800 rows written in " << fillSeconds << " s; history.sqlite3 is " << fileBytes
              << " bytes (" << static_cast<double>(fileBytes) / (1024 * 1024) << " MiB)\n";
  }
};

Week& week() {
  static Week instance;
  return instance;
}

void BM_Record(benchmark::State& state) {
  const auto copy = week().directory.path() / "record.sqlite3";
  std::filesystem::copy_file(week().url, copy, std::filesystem::copy_options::overwrite_existing);
  {
    HistoryStore store(copy);
    std::int64_t second = kWeekEnd + 1;
    auto recordNext = [&] {
      HistoryRecord record;
      record.second = second;
      record.observed = static_cast<double>(second) + 0.3;
      record.watts = 10 + static_cast<double>(second % 7);
      record.cpu = 3;
      record.flow = "charging";
      record.source = "sensor";
      record.sensorTime = record.observed - 0.2;
      store.record(record, static_cast<double>(second - kWeekEnd), dateFromSeconds(record.observed + 0.05));
      ++second;
    };
    recordNext();  // opens and runs the first maintenance
    for (auto _ : state) recordNext();
  }
  std::filesystem::remove(copy);
  std::filesystem::remove(copy.string() + "-wal");
  std::filesystem::remove(copy.string() + "-shm");
}
BENCHMARK(BM_Record)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_SummaryHour(benchmark::State& state) {
  HistoryStore store(week().url);
  for (auto _ : state) {
    HistorySummary summary = store.summary(kWeekEnd - 3599, kWeekEnd, kNow, 600);
    benchmark::DoNotOptimize(summary);
  }
}
BENCHMARK(BM_SummaryHour)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The seven-day overview (280 buckets) and the chart at the seven-day span
// (600). Compare with the floor below in the same run, for instance with
// --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true.
void BM_SummaryWeek(benchmark::State& state) {
  HistoryStore store(week().url);
  const int buckets = static_cast<int>(state.range(0));
  for (auto _ : state) {
    HistorySummary summary = store.summary(kWeekStart, kWeekEnd, kNow, buckets);
    benchmark::DoNotOptimize(summary);
  }
  state.counters["file_MiB"] = static_cast<double>(week().fileBytes) / (1024 * 1024);
}
BENCHMARK(BM_SummaryWeek)->Arg(280)->Arg(600)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// The window's first read of the 7-day overview: the summed buckets and the seconds after the last one.
void BM_OverviewWeek(benchmark::State& state) {
  HistoryStore store(week().url);
  for (auto _ : state) {
    HistorySummary buckets = store.buckets(kWeekStart, kWeekEnd, kNow, kHistoryBucketWidth);
    benchmark::DoNotOptimize(buckets);
  }
}
BENCHMARK(BM_OverviewWeek)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A week written before the buckets were summed: the first write after the upgrade sums them all, once.
void BM_SumWeekOnce(benchmark::State& state) {
  const auto copy = week().directory.path() / "unsummed.sqlite3";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(week().url, copy, std::filesystem::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    check(db, sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
    check(db, sqlite3_exec(db, "DELETE FROM sample_buckets", nullptr, nullptr, nullptr), SQLITE_OK, "delete");
    check(db, sqlite3_close(db), SQLITE_OK, "close");
    HistoryStore store(copy);
    state.ResumeTiming();
    store.prune(kWeekEnd);
  }
}
BENCHMARK(BM_SumWeekOnce)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The overview's periodic refresh at its largest: the window's 7-day overview reads again the bucket
// of 2160 s that holds the minute before its last read, and the 30 s since.
void BM_OverviewRefresh(benchmark::State& state) {
  HistoryStore store(week().url);
  constexpr std::int64_t width = kHistoryBucketWidth;
  for (auto _ : state) {
    HistorySummary buckets = store.buckets(kWeekEnd - width - 89, kWeekEnd, kNow, width);
    benchmark::DoNotOptimize(buckets);
  }
}
BENCHMARK(BM_OverviewRefresh)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The floor under the week summary: the same rows read by a plain scan without grouping.
void BM_WeekScanWithoutGrouping(benchmark::State& state) {
  sqlite3* db = nullptr;
  check(db, sqlite3_open_v2(week().url.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK, "open");
  sqlite3_stmt* scan = nullptr;
  check(db,
        sqlite3_prepare_v2(db, "SELECT watts, energy_wh, duration FROM samples WHERE second BETWEEN ? AND ?",
                           -1, &scan, nullptr),
        SQLITE_OK, "prepare");
  for (auto _ : state) {
    sqlite3_bind_int64(scan, 1, kWeekStart);
    sqlite3_bind_int64(scan, 2, kWeekEnd);
    double total = 0;
    while (sqlite3_step(scan) == SQLITE_ROW)
      total += sqlite3_column_double(scan, 0) + sqlite3_column_double(scan, 1);
    sqlite3_reset(scan);
    benchmark::DoNotOptimize(total);
  }
  sqlite3_finalize(scan);
  sqlite3_close(db);
}
BENCHMARK(BM_WeekScanWithoutGrouping)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

void BM_SecondsAround(benchmark::State& state) {
  HistoryStore store(week().url);
  std::int64_t around = kWeekEnd - 3600;
  for (auto _ : state) {
    std::vector<HistorySecond> rows = store.seconds(around, kNow);
    benchmark::DoNotOptimize(rows);
    around = around == kWeekEnd - 3600 ? kWeekStart + 86400 : kWeekEnd - 3600;
  }
}
BENCHMARK(BM_SecondsAround)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace wattline::bench
