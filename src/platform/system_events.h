// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>

namespace wattline {

// Removes its handlers when destroyed.
class Subscription {
 public:
  virtual ~Subscription() = default;
};

// Sleep and wake, the application becoming active, and the power source
// changing (adapter plugged or unplugged). Handlers run on the main thread.
class SystemEvents {
 public:
  virtual ~SystemEvents() = default;
  // Where the system lets a program delay sleep, the machine sleeps only after `handler` has run.
  virtual std::unique_ptr<Subscription> onWillSleep(std::function<void()> handler) = 0;
  virtual std::unique_ptr<Subscription> onDidWake(std::function<void()> handler) = 0;
  virtual std::unique_ptr<Subscription> onBecameActive(std::function<void()> handler) = 0;
  // Nothing when the system offers no power-source notifications.
  virtual std::unique_ptr<Subscription> onPowerSourceChange(std::function<void()> handler) = 0;
};

}  // namespace wattline
