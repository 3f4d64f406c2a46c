// SPDX-License-Identifier: GPL-3.0-or-later

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/system_readers.h"
#include "platform/testing/history_week.h"
#include "power/app_energy_ledger.h"

namespace wattline::bench {
namespace {

using namespace wattline::testing;

const Date kNow = dateFromSeconds(kWeekEnd + 0.5);

// A week of the ledger with 40 apps active in every minute, made once per run of this program.
struct Week {
  ScratchDirectory directory;
  std::filesystem::path url = directory.path() / "history.sqlite3";

  Week() {
    fillWeekLedger(url, 40);
    const std::uintmax_t bytes = std::filesystem::file_size(url);
    std::cerr << "a week of the ledger with 40 apps: history.sqlite3 is " << bytes << " bytes ("
              << static_cast<double>(bytes) / (1024 * 1024) << " MiB)\n";
  }
};

Week& week() {
  static Week instance;
  return instance;
}

void ledgerFileSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(week());
  state.counters["MiB"] = static_cast<double>(std::filesystem::file_size(week().url)) / (1024 * 1024);
}
BENCHMARK(ledgerFileSize)->Iterations(1);

// One minute of 40 apps and the unbilled energy, as the monitor writes it once a minute.
void ledgerMinuteWrite(benchmark::State& state) {
  const auto copy = week().directory.path() / "write.sqlite3";
  std::filesystem::copy_file(week().url, copy, std::filesystem::copy_options::overwrite_existing);
  {
    HistoryStore store(copy);
    std::int64_t minute = kWeekEnd / 60 * 60 + 60;
    auto writeNext = [&] {
      LedgerMinute row{minute, 60, false, {{kUnbilledApp, "", 120, std::nullopt}}};
      for (int k = 0; k < 40; ++k)
        row.shares.push_back({"desktop:app" + std::to_string(k), "应用", 1.0 + k, 0.1 * k});
      store.recordLedger({row}, dateFromSeconds(static_cast<double>(minute + 61)));
      minute += 60;
    };
    writeNext();  // opens the file and runs the first maintenance
    for (auto _ : state) writeNext();
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(copy.string() + suffix);
}
BENCHMARK(ledgerMinuteWrite)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The ranking of the last `range(0)` seconds.
void ranking(benchmark::State& state) {
  HistoryStore store(week().url);
  for (auto _ : state)
    benchmark::DoNotOptimize(store.appRanking(kWeekEnd - state.range(0) + 1, kWeekEnd, false, kNow));
}
BENCHMARK(ranking)
    ->Arg(86400)
    ->Arg(604800)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// One app's power per minute over the week, as the chart's overlay reads it.
void overlayWeek(benchmark::State& state) {
  HistoryStore store(week().url);
  for (auto _ : state) benchmark::DoNotOptimize(store.appPower("desktop:app3", kWeekStart, kWeekEnd, kNow));
}
BENCHMARK(overlayWeek)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Idle children that bring this machine to `total` processes for the process batches.
class Sleepers {
 public:
  explicit Sleepers(std::size_t total) {
    std::size_t running = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc"))
      running += std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0])) ? 1 : 0;
    for (std::size_t i = running; i < total; ++i) {
      const pid_t child = fork();
      if (child == 0) {
        pause();
        _exit(0);
      }
      if (child > 0) children_.push_back(child);
    }
  }
  ~Sleepers() {
    for (pid_t child : children_) kill(child, SIGKILL);
    for (pid_t child : children_) waitpid(child, nullptr, 0);
  }

 private:
  std::vector<pid_t> children_;
};

// The ledger's batch every 10 s with 300 processes: the process table read (at the nice level the
// scheduler gives it) and the billing. The share of one core is the time over the 10 s cadence.
void ledgerBatch300(benchmark::State& state) {
  Sleepers sleepers(300);
  setenv("WATTLINE_SYSFS_ROOT", WATTLINE_FIXTURES "/proc-desktop/sys", 1);
  setenv("WATTLINE_PROC_ROOT", "/proc", 1);
  auto reader = makeSystemProcessPowerReader();
  AppEnergyLedger ledger;
  ledger.add(reader->read(), true);
  std::size_t processes = 0;
  for (auto _ : state) {
    ProcessEnergyBatch batch = reader->read();
    processes = batch.counters.size();
    benchmark::DoNotOptimize(ledger.add(batch, true));
  }
  state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(ledgerBatch300)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace wattline::bench
