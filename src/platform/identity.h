// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

#include "base/date.h"

namespace wattline {

inline constexpr const char* kDefaultBundleIdentifier = "local.wattline.mac";

// Who this program is.
class Identity {
 public:
  virtual ~Identity() = default;
  // May be absent; callers fall back to kDefaultBundleIdentifier.
  virtual std::optional<std::string> bundleIdentifier() const = 0;
  // The release version, absent for a development build.
  virtual std::optional<std::string> version() const = 0;
};

// Wall clock and monotonic uptime. The monotonic clock stops while the machine
// sleeps, so the two disagree across a sleep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Date now() const = 0;
  virtual double uptime() const = 0;
};

}  // namespace wattline
