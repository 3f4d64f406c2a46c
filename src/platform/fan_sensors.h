// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wattline {

// One fan's speed as its hardware monitor reports it.
struct FanReading {
  std::string name;                 // the monitor's name and the fan, as "thinkpad fan1"
  std::optional<std::int64_t> rpm;  // absent when unreadable or when its device is suspended
};

// The machine's fan speeds.
class FanSensors {
 public:
  virtual ~FanSensors() = default;
  virtual std::vector<FanReading> read() = 0;
};

}  // namespace wattline
