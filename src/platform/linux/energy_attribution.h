// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace wattline {

// CPU time of all processors, in clock ticks: the busy part and the whole.
struct CpuTicks {
  std::uint64_t busy = 0;
  std::uint64_t total = 0;
};

// The lowest package power of the last ten minutes, from the averages of the intervals handed to it.
class PackagePowerFloor {
 public:
  static constexpr double kWindowSeconds = 600.0;

  // An interval's average `watts`, ended at monotonic `uptime`; times only grow.
  void add(double uptime, double watts);
  // The lowest average of the intervals that ended within the window before `uptime`.
  std::optional<double> lowest(double uptime);

 private:
  // (uptime, watts), the watts rising from the front: a later lower value makes earlier higher ones moot.
  std::deque<std::pair<double, double>> minima_;
};

// The part of an interval's package energy that the processes which ran used. The rest is the idle
// floor and belongs to no one: the smaller of (a) the energy times the interval's idle share of all CPU
// time and (b) the lowest recent package power times the interval's `seconds` (when known).
std::uint64_t dynamicEnergy(std::uint64_t packageNanojoules, CpuTicks cpu, double seconds,
                            std::optional<double> lowestWatts);

}  // namespace wattline
