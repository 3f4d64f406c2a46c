#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/date.h"
#include "history/history_record.h"
#include "history/history_types.h"

namespace wattline {

// The history store as the main thread sees it: every operation runs on the
// store's own serial executor, and its outcome comes back on the main thread.
class HistoryService {
 public:
  virtual ~HistoryService() = default;

  using Done = std::function<void(std::optional<HistoryError>)>;
  virtual void record(HistoryRecord record, double uptime, Date now, Done done) = 0;
  virtual void prune(std::int64_t now, Done done) = 0;
  virtual void breakContinuity() = 0;
  virtual void summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets,
                       std::function<void(HistoryResult<HistorySummary>)> done) = 0;
  // Buckets of `width` seconds on whole multiples of `width`, so that adjoining ranges fold alike.
  virtual void buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width,
                       std::function<void(HistoryResult<HistorySummary>)> done) = 0;
  virtual void seconds(std::int64_t around, Date now,
                       std::function<void(HistoryResult<std::vector<HistorySecond>>)> done) = 0;
};

}  // namespace wattline
