#include "history/history_types.h"

namespace wattline {

std::optional<double> HistorySummary::average() const {
  if (valid < 1) return std::nullopt;
  double total = 0;
  for (const HistoryBucket& bucket : buckets)
    total += bucket.average.value_or(0) * static_cast<double>(bucket.valid);
  return total / static_cast<double>(valid);
}

}  // namespace wattline
