// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/app_termination.h"

#include "power/power_monitor.h"

namespace wattline {

AppTermination::AppTermination(Scheduler& scheduler, std::function<void()> exitApplication)
    : scheduler_(scheduler), exit_(std::move(exitApplication)) {}

void AppTermination::request() {
  if (requested_) return;
  requested_ = true;
  if (shouldTerminate() == Reply::now) finish();
}

AppTermination::Reply AppTermination::shouldTerminate() {
  if (!monitor_) return Reply::now;
  monitor_->stop();
  scheduler_.post([this, alive = std::weak_ptr<int>(alive_)] {
    if (!alive.lock()) return;
    monitor_->flushHistory([this, alive] {
      if (alive.lock()) finish();
    });
  });
  return Reply::later;
}

void AppTermination::willTerminate() {
  if (willTerminateHook_) willTerminateHook_();
  if (monitor_) monitor_->stop();  // stopping twice is harmless
}

void AppTermination::finish() {
  if (finished_) return;
  finished_ = true;
  willTerminate();
  exit_();
}

}  // namespace wattline
