// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>

#include "history/history_types.h"

namespace wattline {

// A bucket's rows summed: what the fold keeps of them.
struct HistoryBucketTotals {
  std::int64_t second = 0;  // the bucket's first second
  std::optional<double> minimum, maximum;
  double total = 0;  // of the present watts
  std::int64_t valid = 0, rows = 0;
  double energyWh = 0, duration = 0;
};

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
  // A whole bucket summed before: it lies on the fold's edges, after every row added so far and after the
  // range's first second, and no row of it is added.
  void add(const HistoryBucketTotals& bucket);
  HistorySummary finish();

 private:
  void close();

  HistorySummary summary_;
  std::int64_t first_;  // the range's first second
  std::optional<HistoryBucketTotals> open_;
};

}  // namespace wattline
