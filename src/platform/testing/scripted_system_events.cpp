// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/scripted_system_events.h"

#include <algorithm>
#include <vector>

namespace wattline::testing {

class ScriptedSystemEvents::Token : public Subscription {
 public:
  Token(ScriptedSystemEvents& events, int id) : events_(events), id_(id) {}
  ~Token() override { events_.handlers_.erase(id_); }

 private:
  ScriptedSystemEvents& events_;
  int id_;
};

std::unique_ptr<Subscription> ScriptedSystemEvents::add(Kind kind, std::function<void()> handler) {
  int id = next_++;
  handlers_.emplace(id, std::make_pair(kind, std::move(handler)));
  return std::make_unique<Token>(*this, id);
}

std::unique_ptr<Subscription> ScriptedSystemEvents::onWillSleep(std::function<void()> handler) {
  return add(Kind::willSleep, std::move(handler));
}
std::unique_ptr<Subscription> ScriptedSystemEvents::onDidWake(std::function<void()> handler) {
  return add(Kind::didWake, std::move(handler));
}
std::unique_ptr<Subscription> ScriptedSystemEvents::onBecameActive(std::function<void()> handler) {
  return add(Kind::becameActive, std::move(handler));
}
std::unique_ptr<Subscription> ScriptedSystemEvents::onPowerSourceChange(std::function<void()> handler) {
  if (!powerSourceAvailable) return nullptr;
  return add(Kind::powerSource, std::move(handler));
}

void ScriptedSystemEvents::fire(Kind kind) {
  std::vector<std::function<void()>> due;
  for (const auto& [id, entry] : handlers_)
    if (entry.first == kind) due.push_back(entry.second);
  for (auto& handler : due) handler();
}

std::size_t ScriptedSystemEvents::subscribers(Kind kind) const {
  return std::count_if(handlers_.begin(), handlers_.end(),
                       [&](const auto& e) { return e.second.first == kind; });
}

}  // namespace wattline::testing
