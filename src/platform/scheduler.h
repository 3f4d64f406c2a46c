// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace wattline {

// Shared between the one who starts work and the work itself. Cancelling only
// stops delivery of the result: work already running goes on to its end.
// Abandoning also keeps work that has not started from ever starting and waits
// for work that is running, up to a deadline, so that what the work uses may
// then go away.
class CancelToken {
 public:
  void cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  bool isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }
  // True when the work has ended or will never start; false when it still runs at the deadline.
  bool abandon(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    cancelled_ = abandoned_ = true;
    return ended_.wait_until(lock, deadline, [this] { return !running_; });
  }
  // Whether the work has ended or will never start.
  bool isSettled() const {
    std::lock_guard lock(mutex_);
    return finished_ || abandoned_;
  }
  // The scheduler brackets the work with these; false means it must not start.
  bool begin() {
    std::lock_guard lock(mutex_);
    running_ = !abandoned_;
    return running_;
  }
  void end() {
    {
      std::lock_guard lock(mutex_);
      running_ = false;
      finished_ = true;
    }
    ended_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  bool cancelled_ = false;
  bool abandoned_ = false;
  bool running_ = false;
  bool finished_ = false;
};
using CancelTokenPtr = std::shared_ptr<CancelToken>;

// A repeating timer on the main thread. Destroying it invalidates it.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void invalidate() = 0;
  virtual bool isValid() const = 0;
};

// The main thread's queue, its timers and low-priority background work.
// Everything handed to post/postAfter/repeating runs on the main thread.
class Scheduler {
 public:
  virtual ~Scheduler() = default;

  virtual void post(std::function<void()> job) = 0;
  // Runs `job` on the main thread after `seconds`, unless the token is cancelled first.
  virtual CancelTokenPtr postAfter(double seconds, std::function<void()> job) = 0;
  // `tolerance` is how late a tick may come so that the system can coalesce
  // wake-ups; it never comes early.
  virtual std::unique_ptr<Timer> repeating(double interval, double tolerance, std::function<void()> tick) = 0;
  // Runs `work` off the main thread at low priority.
  virtual void runInBackground(std::function<void()> work) = 0;

  // Runs `work` in the background and hands its result to `done` on the main thread,
  // unless the returned token was cancelled by then.
  template <class Work, class Done>
  CancelTokenPtr background(Work work, Done done) {
    auto token = std::make_shared<CancelToken>();
    runInBackground([this, token, work = std::move(work), done = std::move(done)]() mutable {
      if (!token->begin()) return;
      // Ends the work even when it throws, so that nobody waits for it forever.
      struct Ending {
        CancelToken& token;
        ~Ending() { token.end(); }
      } ending{*token};
      auto result = work();
      post([token, done = std::move(done), result = std::move(result)]() mutable {
        if (!token->isCancelled()) done(std::move(result));
      });
    });
    return token;
  }
};

}  // namespace wattline
