// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/identity.h"
#include "platform/scheduler.h"

namespace wattline::testing {

// A scheduler on virtual time for tests: nothing runs until the test says so.
// Main-thread jobs run in `advance`/`runUntilIdle`; background work waits in a
// queue until `runBackground` runs it (on the test's thread), so a test decides
// exactly when a reading or a store answer "arrives". post, postAfter and
// runInBackground may be called from other threads (a store's own executor);
// everything else belongs to the test's thread.
class ManualScheduler : public Scheduler {
 public:
  void post(std::function<void()> job) override;
  CancelTokenPtr postAfter(double seconds, std::function<void()> job) override;
  std::unique_ptr<Timer> repeating(double interval, double tolerance, std::function<void()> tick) override;
  void runInBackground(std::function<void()> work) override;

  // Virtual seconds since the scheduler was made.
  double now() const { return now_; }
  // Runs what is due now, including what that posts for now.
  void runUntilIdle();
  // Moves time forward in order of due times, running every job and timer tick on the way.
  void advance(double seconds);
  // Runs the oldest pending background job; false when there is none.
  bool runOneBackground();
  // Runs background jobs (and those they start) until none is left.
  void runBackground();
  std::size_t pendingBackground() const;
  // Waits up to `timeout` of real time until a job posted from another thread
  // is due, then runs what is due; false when nothing came.
  bool waitAndRun(std::chrono::milliseconds timeout);
  std::size_t activeTimers() const;
  // Interval and tolerance of the live timers, in creation order.
  std::vector<std::pair<double, double>> timerSettings() const;

 private:
  struct Entry {
    double due;
    std::uint64_t order;
    std::function<void()> job;
    CancelTokenPtr token;
  };
  struct TimerState {
    double interval;
    double tolerance;
    double nextDue;
    std::function<void()> tick;
    bool valid = true;
  };
  class ManualTimer;

  bool runNextDue(double limit);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  double now_ = 0;
  std::uint64_t order_ = 0;
  std::multimap<std::pair<double, std::uint64_t>, Entry> queue_;
  std::vector<std::shared_ptr<TimerState>> timers_;
  std::deque<std::function<void()>> background_;
};

// Wall clock and uptime that follow a ManualScheduler's virtual time; the wall
// clock can be moved on its own to simulate sleeps and clock changes.
class ManualClock : public Clock {
 public:
  ManualClock(const ManualScheduler& scheduler, Date start) : scheduler_(scheduler), start_(start) {}
  Date now() const override;
  double uptime() const override { return 1000.0 + scheduler_.now() + uptimeOffset_; }
  void shiftWall(double seconds) { wallOffset_ += seconds; }
  void shiftUptime(double seconds) { uptimeOffset_ += seconds; }

 private:
  const ManualScheduler& scheduler_;
  Date start_;
  double wallOffset_ = 0;
  double uptimeOffset_ = 0;
};

}  // namespace wattline::testing
