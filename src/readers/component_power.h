// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/unavailable_reason.h"
#include "platform/energy_counters.h"

namespace wattline {

// CPU, GPU and whole-platform power averaged over `duration` seconds ending at `sampledAt`.
struct ComponentPowerReading {
  Measured cpuWatts;
  Measured gpuWatts;
  Measured platformWatts;
  bool gpuEstimated = false;  // an APU's graphics: its whole-chip reading less the processor's
  std::optional<Date> sampledAt;
  std::optional<double> duration;
};

namespace ComponentPower {

// Above this a reading is a counter's or a driver's mistake.
inline constexpr double kMaximumWatts = 1000.0;

// The average power of one counter or meter from its reading `earlier` to `later`, under the interval
// rules; a platform counter that did not advance is not counting (a running machine draws power).
Measured counterWatts(const EnergyCounterReading* earlier, const EnergyCounterReading& later);

// The processor, graphics and platform power of one interval from each counter's power (`watts[i]` is
// `scan.counters[i]`'s): the packages summed; the graphics share, the cards and an APU's graphics summed,
// where an APU's graphics are its whole-chip reading less the packages' power of the same interval (a
// reading that cannot be told apart counts as an APU's when it lies above that power).
ComponentPowerReading combine(const EnergyCounterScan& scan, const std::vector<Measured>& watts);

}  // namespace ComponentPower

// Each read averages the energy each counter counted since the previous read. A counter read again at the
// very same moment (a service that reads at most once a second answered from its last read) has nothing
// new: its last interval's power stands and the baseline stays. Not thread-safe: its owner serialises it.
class ComponentPowerReader {
 public:
  ComponentPowerReading read(const EnergyCounterScan& scan);

 private:
  struct Previous {
    EnergyCounterReading reading;
    Measured watts;       // over the interval that ended with `reading`
    double duration = 0;  // that interval
  };
  std::map<std::string, Previous, std::less<>> previous_;
};

}  // namespace wattline
