// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/scripted_history_service.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace wattline::testing {

void ScriptedHistoryService::record(HistoryRecord record, double uptime, Date, Done done) {
  records_.push_back(std::move(record));
  uptimes_.push_back(uptime);
  writes_.push_back(std::move(done));
}

void ScriptedHistoryService::prune(std::int64_t, Done done) {
  writes_.push_back(std::move(done));
}

void ScriptedHistoryService::summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets,
                                     std::function<void(HistoryResult<HistorySummary>)> done) {
  summaryQueries_.push_back({from, through, now, maxBuckets});
  summaryAnswers_.push_back(std::move(done));
}

void ScriptedHistoryService::buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width,
                                     std::function<void(HistoryResult<HistorySummary>)> done) {
  summaryQueries_.push_back({from, through, now, 0, width});
  summaryAnswers_.push_back(std::move(done));
}

void ScriptedHistoryService::seconds(std::int64_t around, Date now,
                                     std::function<void(HistoryResult<std::vector<HistorySecond>>)> done) {
  secondsQueries_.push_back({around, now});
  secondsAnswers_.push_back(std::move(done));
}

std::size_t ScriptedHistoryService::pendingSummaries() const {
  return std::count_if(summaryAnswers_.begin(), summaryAnswers_.end(), [](const auto& a) { return bool(a); });
}

std::size_t ScriptedHistoryService::pendingSeconds() const {
  return std::count_if(secondsAnswers_.begin(), secondsAnswers_.end(), [](const auto& a) { return bool(a); });
}

void ScriptedHistoryService::answerSummary(std::size_t index, HistoryResult<HistorySummary> result) {
  if (index >= summaryAnswers_.size() || !summaryAnswers_[index])
    throw std::logic_error("no pending summary query at that index");
  auto done = std::exchange(summaryAnswers_[index], nullptr);
  done(std::move(result));
}

void ScriptedHistoryService::answerSeconds(std::size_t index,
                                           HistoryResult<std::vector<HistorySecond>> result) {
  if (index >= secondsAnswers_.size() || !secondsAnswers_[index])
    throw std::logic_error("no pending seconds query at that index");
  auto done = std::exchange(secondsAnswers_[index], nullptr);
  done(std::move(result));
}

void ScriptedHistoryService::finishWrites(std::optional<HistoryError> error) {
  auto writes = std::exchange(writes_, {});
  for (auto& done : writes) done(error);
}

void ScriptedHistoryService::recordLedger(std::vector<LedgerMinute> minutes, Date, Done done) {
  ledger.insert(ledger.end(), minutes.begin(), minutes.end());
  if (done) done(std::nullopt);
}

void ScriptedHistoryService::appRanking(std::int64_t, std::int64_t, bool, Date,
                                        std::function<void(HistoryResult<AppEnergyRanking>)> done) {
  done(ranking);
}

void ScriptedHistoryService::appPower(std::string, std::int64_t, std::int64_t, Date,
                                      std::function<void(HistoryResult<std::vector<AppPowerPoint>>)> done) {
  done(power);
}

}  // namespace wattline::testing
