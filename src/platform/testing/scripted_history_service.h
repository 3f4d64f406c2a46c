// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "history/history_service.h"

namespace wattline::testing {

// A history store whose answers arrive only when the test hands them over, in any order.
class ScriptedHistoryService : public HistoryService {
 public:
  struct SummaryQuery {
    std::int64_t from;
    std::int64_t through;
    Date now;
    int maxBuckets;
    std::int64_t width = 0;  // buckets of this width on its multiples; 0 for at most maxBuckets
  };
  struct SecondsQuery {
    std::int64_t around;
    Date now;
  };

  void record(HistoryRecord record, double uptime, Date now, Done done) override;
  void prune(std::int64_t now, Done done) override;
  void breakContinuity() override { ++continuityBreaks_; }
  void summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets,
               std::function<void(HistoryResult<HistorySummary>)> done) override;
  void buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width,
               std::function<void(HistoryResult<HistorySummary>)> done) override;
  void seconds(std::int64_t around, Date now,
               std::function<void(HistoryResult<std::vector<HistorySecond>>)> done) override;
  // The ledger's minutes are kept and acknowledged at once; its queries answer with what the test set.
  void recordLedger(std::vector<LedgerMinute> minutes, Date now, Done done) override;
  void appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly, Date now,
                  std::function<void(HistoryResult<AppEnergyRanking>)> done) override;
  void appPower(std::string app, std::int64_t from, std::int64_t through, Date now,
                std::function<void(HistoryResult<std::vector<AppPowerPoint>>)> done) override;

  std::vector<LedgerMinute> ledger;
  AppEnergyRanking ranking;
  std::vector<AppPowerPoint> power;

  // Every query asked so far, in order; answered ones included. Bucket queries are summary queries
  // with a width.
  const std::vector<SummaryQuery>& summaryQueries() const { return summaryQueries_; }
  const std::vector<SecondsQuery>& secondsQueries() const { return secondsQueries_; }
  std::size_t pendingSummaries() const;
  std::size_t pendingSeconds() const;
  // Answers query `index`; each query answers at most once.
  void answerSummary(std::size_t index, HistoryResult<HistorySummary> result);
  void answerSeconds(std::size_t index, HistoryResult<std::vector<HistorySecond>> result);

  const std::vector<HistoryRecord>& records() const { return records_; }
  // The uptime handed with each record.
  const std::vector<double>& uptimes() const { return uptimes_; }
  std::size_t pendingWrites() const { return writes_.size(); }
  // Completes every pending record and prune with `error` (absent: success).
  void finishWrites(std::optional<HistoryError> error = std::nullopt);
  int continuityBreaks() const { return continuityBreaks_; }

 private:
  std::vector<SummaryQuery> summaryQueries_;
  std::vector<std::function<void(HistoryResult<HistorySummary>)>> summaryAnswers_;
  std::vector<SecondsQuery> secondsQueries_;
  std::vector<std::function<void(HistoryResult<std::vector<HistorySecond>>)>> secondsAnswers_;
  std::vector<HistoryRecord> records_;
  std::vector<double> uptimes_;
  std::vector<Done> writes_;
  int continuityBreaks_ = 0;
};

}  // namespace wattline::testing
