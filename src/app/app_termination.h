// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>

#include "platform/scheduler.h"

namespace wattline {

class PowerMonitor;

// How the application ends, whoever asks (the panel's quit, SIGTERM, SIGINT,
// SIGHUP): the monitor stops at once, the history write in flight finishes,
// and only then does the application exit with status 0. Main thread only.
class AppTermination {
 public:
  enum class Reply { now, later };

  // `exitApplication` ends the event loop with status 0.
  AppTermination(Scheduler& scheduler, std::function<void()> exitApplication);
  // The monitor once the launch has made it; without one, termination is immediate.
  void setMonitor(PowerMonitor* monitor) { monitor_ = monitor; }
  // Runs as the application terminates, before it exits (the status icon's timer stops here).
  void onWillTerminate(std::function<void()> hook) { willTerminateHook_ = std::move(hook); }

  // A request to quit; one already under way absorbs the next.
  void request();
  // Now without a monitor; otherwise stops it and answers later, once its history is written.
  Reply shouldTerminate();
  void willTerminate();

 private:
  void finish();

  Scheduler& scheduler_;
  std::function<void()> exit_;
  std::function<void()> willTerminateHook_;
  PowerMonitor* monitor_ = nullptr;
  bool requested_ = false;
  bool finished_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace wattline
