// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/power_fusion.h"

#include <cstdio>
#include <string>

namespace wattline::PowerFusion {

namespace {

using Kind = UnavailableReason::Kind;

// Readings taken over different windows differ by this much without contradicting each other: beyond this
// share of the reference and beyond this margin, one of them is not measuring what it claims.
constexpr double kSpreadShare = 0.10;
constexpr double kSpreadMargin = 0.5;
constexpr double kMaximumRpm = 20000;

bool beyondSpread(double excess, double reference) {
  return excess > reference * kSpreadShare && excess > kSpreadMargin;
}

std::string watts(const char* what, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%s %.1f W", what, value);
  return text;
}

// Why the platform's whole-system reading cannot be right, if it cannot.
std::optional<UnavailableReason> contradiction(const PowerSnapshot& fused, const Measured& cpu,
                                               double platform) {
  // On battery alone the discharge measures what the system draws.
  if (fused.externalKnown() && !fused.externalConnected && fused.batteryWatts && *fused.batteryWatts < 0 &&
      beyondSpread(-*fused.batteryWatts - platform, -*fused.batteryWatts))
    return UnavailableReason{Kind::implausible, watts("platform", platform) + " below " +
                                                    watts("the battery's discharge", -*fused.batteryWatts)};
  // The platform includes the processor.
  if (fused.externalConnected && cpu.value && platform < *cpu.value)
    return UnavailableReason{Kind::implausible, watts("platform", platform) + " below " +
                                                    watts("the processor package's", *cpu.value)};
  return std::nullopt;
}

void put(PowerSnapshot& s, std::optional<double>& field, const char* name, const Measured& measured) {
  field = measured.value;
  if (measured.value) {
    s.unavailable.erase(name);
  } else if (measured.reason) {
    s.unavailable.insert_or_assign(name, *measured.reason);
  }
}

}  // namespace

std::vector<FanSpeed> fanSpeeds(const std::vector<FanReading>& fans) {
  std::vector<FanSpeed> speeds;
  for (std::size_t i = 0; i < fans.size() && i < 2; ++i) {
    const auto rpm = fans[i].rpm;
    if (rpm && *rpm >= 0 && *rpm <= kMaximumRpm)
      speeds.push_back({static_cast<std::int64_t>(i), static_cast<double>(*rpm)});
  }
  return speeds;
}

PowerSnapshot merge(const PowerSnapshot& supplies, const ComponentPowerReading& components,
                    const std::optional<std::vector<FanSpeed>>& fans, Date at) {
  PowerSnapshot result = supplies;
  result.timestamp = at;

  result.fanSpeeds = fans.value_or(std::vector<FanSpeed>{});
  result.detailSensorsUpdatedAt = result.fanSpeeds.empty() ? std::nullopt : std::optional(at);
  put(result, result.displayWatts, "displayWatts",
      Measured::absent(Kind::noDevice, "no sensor of the built-in display's power"));
  put(result, result.wifiWatts, "wifiWatts",
      Measured::absent(Kind::noDevice, "no sensor of the Wi-Fi's power"));

  put(result, result.cpuWatts, "cpuWatts", components.cpuWatts);
  put(result, result.gpuWatts, "gpuWatts", components.gpuWatts);
  result.gpuWattsEstimated = components.gpuEstimated;
  result.componentsUpdatedAt = components.sampledAt;
  result.componentSampleDuration = components.duration;

  if (const auto& platform = components.platformWatts; platform.value) {
    if (auto why = contradiction(result, components.cpuWatts, *platform.value)) {
      if (!result.systemWatts) result.unavailable.insert_or_assign("systemWatts", std::move(*why));
    } else {
      put(result, result.systemWatts, "systemWatts", platform);
      result.systemEstimated = false;
      result.systemSource = PowerDataSource::sensor;
      result.systemUpdatedAt = at;
    }
  } else if (!result.systemWatts && platform.reason && platform.reason->kind != Kind::noDevice) {
    // A platform counter exists: its trouble is why the headline is missing.
    result.unavailable.insert_or_assign("systemWatts", *platform.reason);
  }

  if (result.cpuWatts && result.gpuWatts && result.systemWatts &&
      beyondSpread(*result.cpuWatts + *result.gpuWatts - *result.systemWatts, *result.systemWatts)) {
    put(result, result.gpuWatts, "gpuWatts",
        Measured::absent(Kind::implausible, watts("CPU", *result.cpuWatts) + " + " +
                                                watts("GPU", *result.gpuWatts) + " above " +
                                                watts("the system's", *result.systemWatts)));
    result.gpuWattsEstimated = false;
  }
  return result;
}

}  // namespace wattline::PowerFusion
