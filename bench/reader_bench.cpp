// SPDX-License-Identifier: GPL-3.0-or-later
// One PowerReader::read(includeDetails: true) on a fixture tree, beside a
// floor that reads the same attribute files with open/read/close and nothing else.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/system_readers.h"

namespace {

const std::string kRoot = std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery";

// The attribute files one read of the laptop-on-battery tree opens successfully.
const std::vector<std::string> kFiles = {
    "class/power_supply/AC/type",
    "class/power_supply/AC/online",
    "class/power_supply/BAT0/type",
    "class/power_supply/BAT0/scope",
    "class/power_supply/BAT0/present",
    "class/power_supply/BAT0/status",
    "class/power_supply/BAT0/voltage_now",
    "class/power_supply/BAT0/current_now",
    "class/power_supply/BAT0/capacity",
    "class/power_supply/BAT0/energy_now",
    "class/power_supply/BAT0/energy_full",
    "class/power_supply/hidpp_battery_0/type",
    "class/power_supply/hidpp_battery_0/scope",
    "class/hwmon/hwmon2/fan1_input",
    "class/hwmon/hwmon2/fan2_input",
    "class/powercap/intel-rapl:1/energy_uj",
    "class/powercap/intel-rapl:0/energy_uj",
    "class/powercap/intel-rapl:0:1/energy_uj",
};

void PowerReaderRead(benchmark::State& state) {
  ::setenv("WATTLINE_SYSFS_ROOT", kRoot.c_str(), 1);
  for (auto _ : state) {
    auto snapshot = wattline::PowerReader::read(true);
    benchmark::DoNotOptimize(snapshot);
  }
}
BENCHMARK(PowerReaderRead);

void ReadFloor(benchmark::State& state) {
  std::vector<std::string> paths;
  for (const auto& file : kFiles) paths.push_back(kRoot + "/" + file);
  char buffer[4096];
  for (auto _ : state) {
    for (const auto& path : paths) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        state.SkipWithError("fixture file missing");
        return;
      }
      benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
      ::close(fd);
    }
  }
}
BENCHMARK(ReadFloor);

}  // namespace
