// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QThreadPool>
#include <chrono>

#include "platform/scheduler.h"

namespace wattline {

// Main-thread jobs and timers on the Qt event loop of the thread that made the
// scheduler; background work on a pool of threads at nice 10.
class QtScheduler : public Scheduler {
 public:
  QtScheduler();
  ~QtScheduler() override;

  void post(std::function<void()> job) override;
  CancelTokenPtr postAfter(double seconds, std::function<void()> job) override;
  std::unique_ptr<Timer> repeating(double interval, double tolerance, std::function<void()> tick) override;
  void runInBackground(std::function<void()> work) override;

  // Waits up to `timeout` for the background work handed out so far to end; false when some still runs.
  bool waitForBackground(std::chrono::milliseconds timeout);

 private:
  QObject context_;
  QThreadPool pool_;
};

}  // namespace wattline
