// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <map>

#include "platform/system_events.h"

namespace wattline::testing {

// System events that a test fires by hand.
class ScriptedSystemEvents : public SystemEvents {
 public:
  enum class Kind { willSleep, didWake, becameActive, powerSource };

  std::unique_ptr<Subscription> onWillSleep(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onDidWake(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onBecameActive(std::function<void()> handler) override;
  std::unique_ptr<Subscription> onPowerSourceChange(std::function<void()> handler) override;

  void fire(Kind kind);
  std::size_t subscribers(Kind kind) const;
  // Makes power-source subscriptions unavailable, as on a system without them.
  bool powerSourceAvailable = true;

 private:
  class Token;
  std::unique_ptr<Subscription> add(Kind kind, std::function<void()> handler);

  int next_ = 0;
  std::map<int, std::pair<Kind, std::function<void()>>> handlers_;
};

}  // namespace wattline::testing
