// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/power_history.h"

#include <algorithm>
#include <cmath>

namespace wattline {

std::vector<PowerSample> PowerHistory::recent(const std::vector<PowerSample>& samples, Date now) {
  std::vector<PowerSample> kept;
  for (const auto& sample : samples) {
    double age = secondsBetween(sample.timestamp, now);
    if (age >= 0 && age <= window) kept.push_back(sample);
  }
  return kept;
}

double PowerHistory::upperBound(const std::vector<PowerSample>& samples) {
  std::optional<double> largest;
  for (const auto& sample : samples)
    if (sample.watts && std::isfinite(*sample.watts) && *sample.watts >= 0)
      largest = std::max(largest.value_or(*sample.watts), *sample.watts);
  if (!largest) return 5;
  return std::max(std::ceil(*largest * 1.1 / 5) * 5, 5.0);
}

std::vector<PowerSample> PowerHistory::appending(const std::vector<PowerSample>& samples,
                                                 const PowerSnapshot& snapshot, bool demoMode, Date now) {
  std::vector<PowerSample> history = recent(samples, now);
  std::optional<Date> t = !demoMode && snapshot.systemWatts ? snapshot.systemUpdatedAt : snapshot.timestamp;
  if (!t || *t > now || secondsBetween(*t, now) > window) return history;
  if (history.empty() || history.back().timestamp < *t) history.push_back({*t, snapshot.systemWatts});
  return history;
}

}  // namespace wattline
