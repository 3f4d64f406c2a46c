// SPDX-License-Identifier: GPL-3.0-or-later
// Exact-time texts: the per-second table labels every row it shows, and each label builds a formatter.
#include <benchmark/benchmark.h>

#include "history/history_navigation.h"
#include "history/history_time.h"

namespace {

void BM_LabelInNamedZone(benchmark::State& state) {
  auto zone = *wattline::HistoryTimeZone::named("Europe/Berlin");
  std::int64_t second = 1'700'000'000;
  for (auto _ : state) benchmark::DoNotOptimize(wattline::HistoryTime::label(second++, zone));
}
BENCHMARK(BM_LabelInNamedZone);

void BM_ParseValid(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(wattline::HistoryTime::parse("2024-11-03 01:30:00 -0400"));
}
BENCHMARK(BM_ParseValid);

void BM_ParseRejectedShape(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(wattline::HistoryTime::parse("2024-11-03T01:30:00Z"));
}
BENCHMARK(BM_ParseRejectedShape);

// A drag across the chart: one pan per mouse move.
void BM_NavigationPan(benchmark::State& state) {
  wattline::HistoryNavigation navigation(1'700'000'000);
  std::int64_t delta = -7;
  for (auto _ : state) {
    navigation.pan(delta);
    delta = -delta;
    benchmark::DoNotOptimize(navigation);
  }
}
BENCHMARK(BM_NavigationPan);

}  // namespace
