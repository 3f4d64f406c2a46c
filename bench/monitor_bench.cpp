// SPDX-License-Identifier: GPL-3.0-or-later
// One full refresh cycle of the monitor (read, persist, publish) on a fixture
// tree, and the monitor's own CPU time while it runs at 1 s with history on.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>

#include "history/history_actor.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "power/power_monitor.h"
#include "readers/power_reader.h"

using namespace wattline;

namespace {

const std::string kFixture = std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery";

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// Another clock's readings, for a reader that owns its clock.
class ClockView : public Clock {
 public:
  explicit ClockView(const Clock& clock) : clock_(clock) {}
  Date now() const override { return clock_.now(); }
  double uptime() const override { return clock_.uptime(); }

 private:
  const Clock& clock_;
};

// The monitor's world on a private copy of the fixture, over the given scheduler and clock.
struct Rig {
  Rig(Scheduler& scheduler, const Clock& clock)
      : reader(linuxPowerServices(tree.root(), std::make_unique<ClockView>(clock))),
        store(std::make_shared<HistoryActor>(std::filesystem::path(tree.root()) / "history.sqlite3",
                                             scheduler)),
        services{scheduler,
                 clock,
                 defaults,
                 [this](bool details) { return reader.read(details); },
                 [] { return ProcessEnergyBatch{}; },
                 nullptr,
                 nullptr,
                 nullptr} {}

  testing::FixtureTree tree{kFixture};
  testing::MemoryDefaults defaults;
  LivePowerReader reader;
  std::shared_ptr<HistoryActor> store;
  PowerMonitorServices services;
};

// Each cycle is one second later on virtual time, so that every cycle writes a new row.
void RefreshCycle(benchmark::State& state) {
  testing::ManualScheduler scheduler;
  testing::ManualClock clock(scheduler, SystemClock().now());
  Rig rig(scheduler, clock);
  PowerMonitor monitor(rig.services, false, rig.store);
  auto cycle = [&] {
    scheduler.advance(1);
    monitor.refresh(true);
    scheduler.runBackground();  // the read
    scheduler.runUntilIdle();   // publish, and hand the record to the store
    bool written = false;
    monitor.flushHistory([&] { written = true; });
    while (!written) scheduler.waitAndRun(std::chrono::milliseconds(100));
  };
  const std::int64_t first = unixSecond(clock.now());
  cycle();
  for (auto _ : state) cycle();
  // The rows the cycles wrote, read back from the store.
  std::optional<HistoryResult<HistorySummary>> written;
  rig.store->summary(first, unixSecond(clock.now()), clock.now(), 1,
                     [&](HistoryResult<HistorySummary> result) { written = std::move(result); });
  while (!written) scheduler.waitAndRun(std::chrono::milliseconds(100));
  if (!written->ok()) return state.SkipWithError(written->error().description.c_str());
  state.counters["rows_per_cycle"] =
      static_cast<double>(written->value().recorded) / static_cast<double>(state.iterations() + 1);
}
BENCHMARK(RefreshCycle)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Runs the monitor on the Qt event loop for 30 s and reports its CPU use.
void CpuAtOneSecond(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "monitor_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  QtScheduler scheduler;
  SystemClock clock;
  Rig rig(scheduler, clock);
  for (auto _ : state) {
    PowerMonitor monitor(rig.services, false, rig.store);
    double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(30'000, &loop, &QEventLoop::quit);
    loop.exec();
    double used = cpuSeconds() - before;
    double seconds = wall.elapsed() / 1000.0;
    state.counters["cpu_s_per_min"] = used / seconds * 60;
    state.counters["core_percent"] = used / seconds * 100;
    state.counters["published"] = monitor.sampleCount();
    monitor.stop();
  }
}
BENCHMARK(CpuAtOneSecond)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
