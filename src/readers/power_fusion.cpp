#include "readers/power_fusion.h"

#include <cmath>

namespace wattline::PowerFusion {

namespace {

// The controller and the registry must agree on the battery voltage before
// the controller's battery reading replaces the registry's.
constexpr double kBatteryVoltsAgreement = 2.0;
// On battery alone the discharge power measures what the system draws; a platform reading lower by more
// than this share of it, and by more than the margin, comes from a counter that is not wired or not counting.
constexpr double kPlatformShortfallShare = 0.10;
constexpr double kPlatformShortfallMargin = 0.5;

// Whether the platform's whole-system reading contradicts the battery's discharge.
bool belowDischarge(const PowerSnapshot& fused, double platformWatts) {
  if (fused.externalConnected || !fused.batteryWatts || *fused.batteryWatts >= 0) return false;
  const double discharge = -*fused.batteryWatts;
  const double shortfall = discharge - platformWatts;
  return shortfall > discharge * kPlatformShortfallShare && shortfall > kPlatformShortfallMargin;
}

}  // namespace

PowerSnapshot merge(const PowerSnapshot& snapshot, const LiveSensorReadings& live,
                    std::optional<bool> external, Date at) {
  PowerSnapshot result = snapshot;
  if (external) result.externalConnected = *external;
  result.timestamp = at;

  result.displayWatts = live.displayWatts;
  result.displayUpdatedAt = live.displayWatts ? std::optional(at) : std::nullopt;

  result.wifiWatts = live.wifiWatts;
  result.fanSpeeds = live.fanSpeeds;
  result.detailSensorsUpdatedAt =
      live.wifiWatts || !live.fanSpeeds.empty() ? std::optional(at) : std::nullopt;

  if (result.batteryInstalled && live.batteryAmps && live.batteryVolts) {
    const bool agrees =
        !result.batteryVolts || std::abs(*result.batteryVolts - *live.batteryVolts) < kBatteryVoltsAgreement;
    if (agrees) {
      result.batteryAmps = live.batteryAmps;
      result.batteryVolts = live.batteryVolts;
      result.batteryWatts = *live.batteryAmps * *live.batteryVolts;
      result.batterySource = PowerDataSource::sensor;
      result.batteryUpdatedAt = at;
    }
  }

  if (!result.externalConnected) {
    result.inputAmps = 0.0;
    result.inputWatts = 0.0;
    result.inputVolts.reset();
    result.adapterRatedWatts.reset();
  } else if (live.inputAmps && live.inputVolts && *live.inputVolts > 0) {
    result.inputAmps = live.inputAmps;
    result.inputVolts = live.inputVolts;
    result.inputWatts = live.inputWatts ? *live.inputWatts : *live.inputAmps * *live.inputVolts;
    result.inputAmpsEstimated = false;
    result.inputWattsEstimated = !live.inputWatts;
    result.inputSource = PowerDataSource::sensor;
    result.inputUpdatedAt = at;
  }

  if (live.systemWatts && !belowDischarge(result, *live.systemWatts)) {
    result.systemWatts = live.systemWatts;
    result.systemEstimated = false;
    result.systemSource = PowerDataSource::sensor;
    result.systemUpdatedAt = at;
  } else {
    const bool measuredFlows = result.batterySource == PowerDataSource::sensor &&
                               (!result.externalConnected || result.inputSource == PowerDataSource::sensor);
    if (measuredFlows && result.inputWatts && result.batteryWatts) {
      const double derived = *result.inputWatts - *result.batteryWatts;
      if (derived >= 0) {
        result.systemWatts = derived;
        result.systemEstimated = true;
        result.systemSource = PowerDataSource::sensor;
        result.systemUpdatedAt = at;
      }
    }
  }
  return result;
}

}  // namespace wattline::PowerFusion
