// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "base/date.h"
#include "base/power_snapshot.h"

namespace wattline {

struct PowerSample {
  Date timestamp;
  std::optional<double> watts;  // whole-system power; absent without a reading
  bool operator==(const PowerSample&) const = default;
};

// The one-minute whole-system power trend, kept in ascending time order.
struct PowerHistory {
  static constexpr double window = 60;

  // Samples at most a minute old, none from the future.
  static std::vector<PowerSample> recent(const std::vector<PowerSample>& samples, Date now);
  // The chart's top: 110 % of the largest reading rounded up to a multiple of 5, at least 5.
  static double upperBound(const std::vector<PowerSample>& samples);
  // The trend after publishing `snapshot` at `now`. The point is stamped with the
  // system reading's own time (the snapshot's time in demo mode or without a
  // reading), so re-reading an unchanged cached value adds no point.
  static std::vector<PowerSample> appending(const std::vector<PowerSample>& samples,
                                            const PowerSnapshot& snapshot, bool demoMode, Date now);
};

}  // namespace wattline
