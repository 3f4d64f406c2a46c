// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "history/history_service.h"
#include "history/history_store.h"
#include "platform/scheduler.h"

namespace wattline {

// Runs a HistoryStore on its own thread: every operation is queued and runs
// there one at a time, in the order it was asked for, and its outcome is posted
// back to the main thread through the scheduler. Destroying the actor runs what
// is still queued (so a write in flight at quit is not lost), then joins; the
// scheduler must outlive the actor.
class HistoryActor : public HistoryService {
 public:
  HistoryActor(std::filesystem::path url, Scheduler& scheduler, HistoryStoreOptions options = {});
  ~HistoryActor() override;
  HistoryActor(const HistoryActor&) = delete;
  HistoryActor& operator=(const HistoryActor&) = delete;

  void record(HistoryRecord record, double uptime, Date now, Done done) override;
  void prune(std::int64_t now, Done done) override;
  void breakContinuity() override;
  void summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets,
               std::function<void(HistoryResult<HistorySummary>)> done) override;
  void buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width,
               std::function<void(HistoryResult<HistorySummary>)> done) override;
  void seconds(std::int64_t around, Date now,
               std::function<void(HistoryResult<std::vector<HistorySecond>>)> done) override;
  void recordLedger(std::vector<LedgerMinute> minutes, Date now, Done done) override;
  void appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly, Date now,
                  std::function<void(HistoryResult<AppEnergyRanking>)> done) override;
  void appPower(std::string app, std::int64_t from, std::int64_t through, Date now,
                std::function<void(HistoryResult<std::vector<AppPowerPoint>>)> done) override;

 private:
  void enqueue(std::function<void(HistoryStore&)> job);
  // Runs `work` on the store's thread and posts its value, or the error it threw, to `done`.
  template <class T>
  void ask(std::function<T(HistoryStore&)> work, std::function<void(HistoryResult<T>)> done);
  // Runs `read` on the store's executor and answers `done` on the main thread.
  void fold(std::function<HistorySummary(HistoryStore&)> read,
            std::function<void(HistoryResult<HistorySummary>)> done);
  void run();

  Scheduler& scheduler_;
  HistoryStore store_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void(HistoryStore&)>> jobs_;
  bool stopping_ = false;
  std::thread thread_;
};

// The error an operation of the store threw, in the form the main thread shows;
// absent when `work` returned normally.
std::optional<HistoryError> captureHistoryError(const std::function<void()>& work);

}  // namespace wattline
