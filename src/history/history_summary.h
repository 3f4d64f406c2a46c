// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>

#include "history/history_types.h"

namespace wattline {

// Folds the rows of [lower, upper], handed over in ascending second, into
// buckets of `width` seconds aligned on `lower`, or on whole multiples of
// `width` since the Unix epoch, so that folds of adjoining ranges meet on the
// same bucket edges. A bucket expects the seconds of the range it covers. It holds
// the minimum, maximum and mean of its present watts, its counts, and the sums
// of energy and duration in row order; the row at `lower` adds no energy or
// duration, because its interval began before the range. Buckets without rows
// are left out.
class HistorySummaryFold {
 public:
  enum class Alignment { lower, epoch };
  HistorySummaryFold(std::int64_t lower, std::int64_t upper, std::int64_t width,
                     Alignment alignment = Alignment::lower);

  void add(std::int64_t second, std::optional<double> watts, double energyWh, double duration);
  HistorySummary finish();

 private:
  struct Open {
    std::int64_t second;
    std::int64_t last;
    double minimum, maximum, total;
    std::int64_t valid, rows;
    double energyWh, duration;
  };
  void close();

  HistorySummary summary_;
  std::int64_t first_;  // the range's first second
  std::optional<Open> open_;
};

}  // namespace wattline
