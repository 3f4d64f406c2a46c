// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop_settings.h"

namespace wattline {

namespace {

class HandlerSubscription : public Subscription {
 public:
  HandlerSubscription(std::weak_ptr<std::map<int, std::function<void()>>> handlers, int id)
      : handlers_(std::move(handlers)), id_(id) {}
  ~HandlerSubscription() override {
    if (auto handlers = handlers_.lock()) handlers->erase(id_);
  }

 private:
  std::weak_ptr<std::map<int, std::function<void()>>> handlers_;
  int id_;
};

}  // namespace

std::unique_ptr<Subscription> DesktopSettings::observe(std::function<void()> handler) {
  const int id = nextHandler_++;
  handlers_->emplace(id, std::move(handler));
  return std::make_unique<HandlerSubscription>(handlers_, id);
}

void DesktopSettings::changed() {
  // A handler may drop its own subscription, so walk a copy.
  const Handlers current = *handlers_;
  for (const auto& [id, handler] : current)
    if (handlers_->count(id)) handler();
}

}  // namespace wattline
