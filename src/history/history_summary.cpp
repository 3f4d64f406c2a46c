// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_summary.h"

#include <algorithm>

namespace wattline {

std::optional<double> HistorySummary::average() const {
  if (valid < 1) return std::nullopt;
  double total = 0;
  for (const HistoryBucket& bucket : buckets)
    total += bucket.average.value_or(0) * static_cast<double>(bucket.valid);
  return total / static_cast<double>(valid);
}

HistorySummaryFold::HistorySummaryFold(std::int64_t lower, std::int64_t upper, std::int64_t width,
                                       Alignment alignment)
    : first_(lower) {
  // The epoch's edge at or before `lower`, also for seconds before 1970.
  const std::int64_t edge = lower / width * width - (lower % width < 0 ? width : 0);
  summary_.lower = alignment == Alignment::epoch ? edge : lower;
  summary_.upper = upper;
  summary_.bucketWidth = width;
}

void HistorySummaryFold::add(std::int64_t second, std::optional<double> watts, double energyWh,
                             double duration) {
  const std::int64_t width = summary_.bucketWidth;
  if (!open_ || second >= open_->second + width) {
    close();
    // Rows never lie before the first edge, so the bucket index is never negative.
    open_.emplace();
    open_->second = summary_.lower + (second - summary_.lower) / width * width;
  }
  HistoryBucketTotals& bucket = *open_;
  ++bucket.rows;
  if (watts) {
    bucket.minimum = std::min(bucket.minimum.value_or(*watts), *watts);
    bucket.maximum = std::max(bucket.maximum.value_or(*watts), *watts);
    bucket.total += *watts;
    ++bucket.valid;
  }
  if (second > first_) {
    bucket.energyWh += energyWh;
    bucket.duration += duration;
  }
}

void HistorySummaryFold::add(const HistoryBucketTotals& bucket) {
  close();
  open_ = bucket;
  close();
}

void HistorySummaryFold::close() {
  if (!open_) return;
  const HistoryBucketTotals& open = *open_;
  HistoryBucket bucket;
  bucket.second = open.second;
  if (open.valid > 0) {
    bucket.minimum = open.minimum;
    bucket.maximum = open.maximum;
    bucket.average = open.total / static_cast<double>(open.valid);
  }
  bucket.valid = open.valid;
  bucket.expected =
      std::min(summary_.upper, open.second + summary_.bucketWidth - 1) - std::max(first_, open.second) + 1;
  summary_.valid += open.valid;
  summary_.recorded += open.rows;
  summary_.wattHours += open.energyWh;
  summary_.integratedSeconds += open.duration;
  summary_.peak = std::max(summary_.peak, bucket.maximum.value_or(0));
  summary_.buckets.push_back(bucket);
  open_.reset();
}

HistorySummary HistorySummaryFold::finish() {
  close();
  return std::move(summary_);
}

}  // namespace wattline
