#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/date.h"

namespace wattline {

// One channel of one delta sample: the energy counted over the interval.
struct ComponentEnergy {
  std::string group;
  std::string name;
  std::string unit;
  std::int64_t value = 0;
};

// CPU and GPU power averaged over `duration` seconds ending at `sampledAt`.
struct ComponentPowerReading {
  std::optional<double> cpuWatts;
  std::optional<double> gpuWatts;
  std::optional<Date> sampledAt;
  std::optional<double> duration;
  bool operator==(const ComponentPowerReading&) const = default;
};

struct OperatingSystemVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;
};

namespace ComponentPowerPolicy {

// Shortest and longest interval that gives a usable average, in seconds.
inline constexpr double kMinimumInterval = 0.1;
inline constexpr double kMaximumInterval = 310.0;
inline constexpr double kMaximumWatts = 1000.0;
// Wall clock and monotonic uptime must agree this closely over an interval, or the machine slept or the
// clock was set in between.
inline constexpr double kClockAgreement = 2.0;

// Whether `elapsed` monotonic seconds, over which the wall clock moved `wallElapsed`, give a usable average.
bool usableInterval(double elapsed, double wallElapsed);

// Average power of `energy` counted in `unit` over `seconds`; absent for a
// negative energy, an unusable interval, an unknown unit or an implausible result.
std::optional<double> watts(std::int64_t energy, std::string_view unit, double seconds);

// CPU power from the "CLPC" counters, or from "Energy Model" when `allowLegacyCPU`;
// GPU power from either. Exactly one matching channel per group counts.
ComponentPowerReading decode(const std::vector<ComponentEnergy>& energies, double seconds, Date at,
                             bool allowLegacyCPU);

// The energy-counter driver's CPU and GPU channel ids for the systems that need them.
std::vector<std::pair<std::uint64_t, std::string>> clpcIDs(std::string_view bundle,
                                                           OperatingSystemVersion version);

}  // namespace ComponentPowerPolicy
}  // namespace wattline
