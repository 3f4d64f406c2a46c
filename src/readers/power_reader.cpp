// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/power_reader.h"

#include "readers/power_fusion.h"

namespace wattline {

namespace {

// The text names where the user can look.
constexpr const char* kNoBatteryService =
    "系统未提供电池数据（/sys/class/power_supply）。台式机或访问受限时，部分数据不可用。";

}  // namespace

PowerSnapshot LivePowerReader::read(bool includeDetails) {
  std::lock_guard guard(lock_);
  const Clock& clock = *services_.clock;
  PowerSnapshot snapshot = PowerSnapshot::parse(services_.supplies->read(), clock.now());
  if (!snapshot.available) snapshot.error = kNoBatteryService;
  std::optional<std::vector<FanSpeed>> fans;
  if (includeDetails) fans = PowerFusion::fanSpeeds(services_.fans->read());
  const ComponentPowerReading components = components_.read(services_.energy->read());
  return PowerFusion::merge(snapshot, components, fans, clock.now());
}

}  // namespace wattline
