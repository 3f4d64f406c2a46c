// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace wattline::testing {

// RAPL counters of a fixture tree that count by themselves, as the kernel's do: every 20 ms each zone's
// energy_uj becomes its value at the start plus its power times the monotonic time since. A file is replaced
// whole (no reader sees half a number) and kept at mode 0400, root's alone.
class MovingCounters {
 public:
  // `watts`: (zone under class/powercap, power in W).
  MovingCounters(std::string sysfsRoot, std::vector<std::pair<std::string, double>> watts);
  ~MovingCounters();

 private:
  void write(double seconds) const;

  std::string root_;
  std::vector<std::pair<std::string, double>> watts_;
  std::vector<long long> start_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace wattline::testing
