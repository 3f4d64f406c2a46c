// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/manual_scheduler.h"

#include <algorithm>
#include <limits>

namespace wattline::testing {

class ManualScheduler::ManualTimer : public Timer {
 public:
  explicit ManualTimer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
  ~ManualTimer() override { invalidate(); }
  void invalidate() override { state_->valid = false; }
  bool isValid() const override { return state_->valid; }

 private:
  std::shared_ptr<TimerState> state_;
};

void ManualScheduler::post(std::function<void()> job) {
  postAfter(0, std::move(job));
}

CancelTokenPtr ManualScheduler::postAfter(double seconds, std::function<void()> job) {
  auto token = std::make_shared<CancelToken>();
  {
    std::lock_guard lock(mutex_);
    double due = now_ + std::max(0.0, seconds);
    std::uint64_t order = order_++;
    queue_.emplace(std::make_pair(due, order), Entry{due, order, std::move(job), token});
  }
  posted_.notify_all();
  return token;
}

std::unique_ptr<Timer> ManualScheduler::repeating(double interval, double tolerance,
                                                  std::function<void()> tick) {
  auto state =
      std::make_shared<TimerState>(TimerState{interval, tolerance, now_ + interval, std::move(tick)});
  timers_.push_back(state);
  return std::make_unique<ManualTimer>(state);
}

void ManualScheduler::runInBackground(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  background_.push_back(std::move(work));
}

std::size_t ManualScheduler::pendingBackground() const {
  std::lock_guard lock(mutex_);
  return background_.size();
}

bool ManualScheduler::waitAndRun(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, timeout,
                          [this] { return !queue_.empty() && queue_.begin()->second.due <= now_; }))
      return false;
  }
  runUntilIdle();
  return true;
}

std::size_t ManualScheduler::activeTimers() const {
  return std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->valid; });
}

std::vector<std::pair<double, double>> ManualScheduler::timerSettings() const {
  std::vector<std::pair<double, double>> settings;
  for (const auto& t : timers_)
    if (t->valid) settings.emplace_back(t->interval, t->tolerance);
  return settings;
}

// Runs the earliest job or timer tick due at or before `limit`; false when none is.
bool ManualScheduler::runNextDue(double limit) {
  std::erase_if(timers_, [](const auto& t) { return !t->valid; });
  std::unique_lock lock(mutex_);
  double queueDue = queue_.empty() ? std::numeric_limits<double>::infinity() : queue_.begin()->second.due;
  std::shared_ptr<TimerState> timer;
  for (const auto& t : timers_)
    if (!timer || t->nextDue < timer->nextDue) timer = t;
  double timerDue = timer ? timer->nextDue : std::numeric_limits<double>::infinity();
  double due = std::min(queueDue, timerDue);
  if (due > limit) return false;
  now_ = std::max(now_, due);
  if (queueDue <= timerDue) {
    Entry entry = std::move(queue_.begin()->second);
    queue_.erase(queue_.begin());
    lock.unlock();
    if (!entry.token->isCancelled()) entry.job();
  } else {
    lock.unlock();
    timer->nextDue += timer->interval;
    auto tick = timer->tick;
    tick();
  }
  return true;
}

void ManualScheduler::runUntilIdle() {
  while (runNextDue(now_)) {
  }
}

void ManualScheduler::advance(double seconds) {
  double target = now_ + seconds;
  while (runNextDue(target)) {
  }
  std::lock_guard lock(mutex_);
  now_ = target;
}

bool ManualScheduler::runOneBackground() {
  std::unique_lock lock(mutex_);
  if (background_.empty()) return false;
  auto work = std::move(background_.front());
  background_.pop_front();
  lock.unlock();
  work();
  return true;
}

void ManualScheduler::runBackground() {
  while (runOneBackground()) {
  }
}

Date ManualClock::now() const {
  return start_ + std::chrono::duration_cast<Date::duration>(
                      std::chrono::duration<double>(scheduler_.now() + wallOffset_));
}

}  // namespace wattline::testing
