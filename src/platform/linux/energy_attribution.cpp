// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/energy_attribution.h"

#include <algorithm>
#include <cmath>

namespace wattline {

void PackagePowerFloor::add(double uptime, double watts) {
  while (!minima_.empty() && minima_.back().second >= watts) minima_.pop_back();
  minima_.emplace_back(uptime, watts);
}

std::optional<double> PackagePowerFloor::lowest(double uptime) {
  while (!minima_.empty() && minima_.front().first < uptime - kWindowSeconds) minima_.pop_front();
  if (minima_.empty()) return std::nullopt;
  return minima_.front().second;
}

std::uint64_t dynamicEnergy(std::uint64_t packageNanojoules, CpuTicks cpu, double seconds,
                            std::optional<double> lowestWatts) {
  // No CPU time passed: nothing ran long enough to be billed.
  if (cpu.total == 0) return 0;
  const long double energy = packageNanojoules;
  const long double idleShare =
      static_cast<long double>(cpu.total - std::min(cpu.busy, cpu.total)) / cpu.total;
  long double idle = energy * idleShare;
  if (lowestWatts && std::isfinite(*lowestWatts) && std::isfinite(seconds) && seconds > 0)
    idle = std::min(idle, static_cast<long double>(*lowestWatts) * seconds * 1e9L);
  return static_cast<std::uint64_t>(std::clamp(energy - idle, 0.0L, energy));
}

}  // namespace wattline
