// SPDX-License-Identifier: GPL-3.0-or-later
// The energy service on a private system-shaped bus, over a laptop's counters. Three figures:
// - ServiceSample: one sample of the program's energy counters when every RAPL counter is closed to it and
// comes
//   from the service, beside DirectSample, the same counters read directly: the difference is what reading
//   through the service adds per sample.
// - the service's CPU time per call and its resident memory, as counters of ServiceSample (from its /proc
// files
//   after the calls; many callers within a second share one read, as the program's readers do);
// - PowercapRead: the service's own read of the counter files, which it does at most once a second.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "energyd/powercap_counters.h"
#include "platform/linux/energy_counters.h"
#include "platform/linux/energy_service_counters.h"
#include "platform/linux/system_clock.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/private_system_bus.h"

namespace {

using namespace wattline;

const std::string kFixture = std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery";
const char* kZones[] = {"intel-rapl:0", "intel-rapl:0:0", "intel-rapl:0:1", "intel-rapl:1"};

// CPU seconds (user and system) of a process, from /proc/<pid>/stat.
double cpuSeconds(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A /proc/<pid>/status or smaps_rollup value (given there in kB) as a counter in bytes.
benchmark::Counter bytes(int pid, const std::string& file, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  double kilobytes = -1;
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(key)) kilobytes = std::stod(line.substr(key.size()));
  return benchmark::Counter(kilobytes * 1024, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
}

void DirectSample(benchmark::State& state) {
  SystemClock clock;
  SysfsEnergyCounters counters(kFixture, clock);
  for (auto _ : state) benchmark::DoNotOptimize(counters.read());
}
BENCHMARK(DirectSample);

void ServiceSample(benchmark::State& state) {
  testing::FixtureTree served(kFixture);
  // The program's view: the same counters, each unreadable (a directory where the file belongs).
  testing::FixtureTree closed(kFixture);
  for (const char* zone : kZones) {
    const std::string counter = std::string("class/powercap/") + zone + "/energy_uj";
    ::chmod((served.root() + "/" + counter).c_str(), 0400);
    closed.remove(counter);
    std::filesystem::create_directory(closed.root() + "/" + counter);
  }
  testing::PrivateSystemBus bus(served.root());
  auto clock = std::make_shared<SystemClock>();
  auto service = std::make_shared<EnergyServiceClient>(clock, bus.address());
  EnergyServiceCounters counters(std::make_unique<SysfsEnergyCounters>(closed.root(), *clock), service,
                                 *clock);
  const auto first = counters.read();
  const auto pid = bus.servicePid();
  const bool answered = !first.counters.empty() && std::none_of(first.counters.begin(), first.counters.end(),
                                                                [](const auto& c) { return c.problem; });
  if (!answered || !pid) {
    state.SkipWithError("the service did not answer");
    return;
  }
  const double cpuBefore = cpuSeconds(*pid);
  std::int64_t calls = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(counters.read());
    ++calls;
  }
  state.counters["serviceCpuMicrosecondsPerCall"] = (cpuSeconds(*pid) - cpuBefore) * 1e6 / calls;
  state.counters["serviceRss"] = bytes(*pid, "status", "VmRSS:");
  state.counters["servicePss"] = bytes(*pid, "smaps_rollup", "Pss:");
  state.counters["serviceAnon"] = bytes(*pid, "status", "RssAnon:");
}
BENCHMARK(ServiceSample);

void PowercapRead(benchmark::State& state) {
  std::int64_t at = 0;
  for (auto _ : state) benchmark::DoNotOptimize(energyd::readPowercap(kFixture, at++));
}
BENCHMARK(PowercapRead);

}  // namespace
