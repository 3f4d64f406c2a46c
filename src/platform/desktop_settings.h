// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <memory>

#include "platform/system_events.h"

namespace wattline {

enum class ColorScheme { noPreference, dark, light };

// What the desktop says about how the interface should look and move.
// Without a desktop that says anything: no preference and motion allowed.
class DesktopSettings {
 public:
  virtual ~DesktopSettings() = default;
  // The desktop asks for animations to be switched off.
  virtual bool reduceMotion() const = 0;
  virtual ColorScheme colorScheme() const = 0;
  // `handler` runs on the main thread after either value changed, until the
  // subscription is dropped.
  std::unique_ptr<Subscription> observe(std::function<void()> handler);

 protected:
  void changed();

 private:
  using Handlers = std::map<int, std::function<void()>>;
  std::shared_ptr<Handlers> handlers_ = std::make_shared<Handlers>();
  int nextHandler_ = 0;
};

}  // namespace wattline
