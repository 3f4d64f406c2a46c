// SPDX-License-Identifier: GPL-3.0-or-later

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/system_readers.h"
#include "readers/process_power_policy.h"

namespace {

using namespace wattline;

// This machine's /proc with the package energy of the fixture tree, so that
// the batch is measured even where the RAPL counters cannot be read.
std::unique_ptr<ProcessPowerReader> machineReader() {
  setenv("WATTLINE_SYSFS_ROOT", WATTLINE_FIXTURES "/proc-desktop/sys", 1);
  setenv("WATTLINE_PROC_ROOT", "/proc", 1);
  return makeSystemProcessPowerReader();
}

// A batch as the panel takes it every two seconds: identities already cached.
void processBatch(benchmark::State& state) {
  auto reader = machineReader();
  reader->read();
  std::size_t processes = 0;
  for (auto _ : state) {
    auto batch = reader->read();
    processes = batch.counters.size();
    benchmark::DoNotOptimize(batch);
  }
  state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(processBatch)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The first batch of a run: every process's path, name and application looked up.
void firstProcessBatch(benchmark::State& state) {
  std::size_t processes = 0;
  for (auto _ : state) {
    auto reader = machineReader();
    auto batch = reader->read();
    processes = batch.counters.size();
    benchmark::DoNotOptimize(batch);
  }
  state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(firstProcessBatch)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Ranking two batches of `range(0)` processes in a tenth as many groups.
void ranking(benchmark::State& state) {
  auto count = static_cast<std::int32_t>(state.range(0));
  ProcessEnergyBatch previous{dateFromSeconds(1.8e9), 100.0, true, {}};
  ProcessEnergyBatch current{dateFromSeconds(1.8e9 + 2), 102.0, true, {}};
  for (std::int32_t pid = 1; pid <= count; ++pid) {
    std::string group = "exec:/usr/bin/program" + std::to_string(pid % (count / 10 + 1));
    previous.counters.push_back({pid, 1, 1'000'000, group, "program", 100.0});
    current.counters.push_back(
        {pid, 1, 1'000'000 + static_cast<std::uint64_t>(pid) * 1000, group, "program", 102.0});
  }
  for (auto _ : state) benchmark::DoNotOptimize(ProcessPowerPolicy::sample(&previous, current));
}
BENCHMARK(ranking)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace
