#include "readers/power_reader.h"

#include <string>

#include "base/retry_timing.h"
#include "readers/power_fusion.h"

namespace wattline {

namespace {

// The battery service is class/power_supply here; the text names where the user can look.
constexpr const char* kNoBatteryService =
    "系统未提供电池数据（/sys/class/power_supply）。台式机或访问受限时，部分数据不可用。";

PowerSnapshot failedSnapshot(Date now, std::string error) {
  PowerSnapshot snapshot;
  snapshot.timestamp = now;
  snapshot.error = std::move(error);
  return snapshot;
}

}  // namespace

LivePowerReader::LivePowerReader(PowerReaderServices services)
    : services_(std::move(services)),
      components_(*services_.energyReports, *services_.registry, *services_.clock) {}

PowerSnapshot LivePowerReader::read(bool includeDetails) {
  std::lock_guard guard(lock_);
  const Clock& clock = *services_.clock;

  PowerSnapshot snapshot;
  if (auto battery = services_.registry->matchingService("AppleSmartBattery")) {
    auto copy = battery->copyProperties();
    if (copy.result == 0 && copy.table) {
      snapshot = PowerSnapshot::parse(*copy.table, clock.now());
    } else {
      snapshot = failedSnapshot(
          clock.now(), "电源数据读取失败（" + std::to_string(copy.result) + "），正在等待下次采样。");
    }
  } else {
    snapshot = failedSnapshot(clock.now(), kNoBatteryService);
  }

  if (const Date now = clock.now(); !sensors_ && attemptDue(lastOpenAttempt_, now, kReopenInterval)) {
    lastOpenAttempt_ = now;
    sensors_ = LiveSensorConnection::open(*services_.smc);
  }
  const LiveSensorReadings readings = sensors_ ? sensors_->readValues(includeDetails) : LiveSensorReadings{};
  if (sensors_ && sensors_->broken()) {
    // A broken transport is reopened by the next read rather than after the usual wait.
    sensors_.reset();
    lastOpenAttempt_ = kDistantPast;
  }

  std::optional<bool> external;
  if (const auto source = services_.powerSources->providingSourceType()) {
    if (*source == kACPower) external = true;
    if (*source == kBatteryPower) external = false;
  }

  PowerSnapshot result = PowerFusion::merge(snapshot, readings, external, clock.now());

  const ComponentPowerReading components = components_.read();
  result.cpuWatts = components.cpuWatts;
  result.gpuWatts = components.gpuWatts;
  result.componentsUpdatedAt = components.sampledAt;
  result.componentSampleDuration = components.duration;
  return result;
}

}  // namespace wattline
