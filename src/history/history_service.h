// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "history/app_energy_types.h"
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
  virtual void recordLedger(std::vector<LedgerMinute> minutes, Date now, Done done) = 0;
  virtual void appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly, Date now,
                          std::function<void(HistoryResult<AppEnergyRanking>)> done) = 0;
  virtual void appPower(std::string app, std::int64_t from, std::int64_t through, Date now,
                        std::function<void(HistoryResult<std::vector<AppPowerPoint>>)> done) = 0;
};

}  // namespace wattline
