#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace wattline {

// Shared between the one who starts work and the work itself; cancelling only
// stops delivery of results, the work already running goes on to its end.
class CancelToken {
 public:
  void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool isCancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
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
      auto result = work();
      post([token, done = std::move(done), result = std::move(result)]() mutable {
        if (!token->isCancelled()) done(std::move(result));
      });
    });
    return token;
  }
};

}  // namespace wattline
