// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "base/unavailable_reason.h"

namespace wattline {

// What an energy counter or power meter measures.
enum class EnergyDomain {
  package,               // a processor package
  platform,              // the whole platform (RAPL "psys")
  integratedGraphics,    // the package's graphics share (RAPL "uncore")
  discreteGraphics,      // a graphics card
  socGraphics,           // an APU: the whole chip, its processor included
  undeterminedGraphics,  // graphics that may be a card or an APU
};

// One counter or meter as read at one moment.
struct EnergyCounterReading {
  EnergyDomain domain = EnergyDomain::package;
  std::string path;                         // the file read
  std::optional<std::int64_t> microjoules;  // a cumulative energy counter
  std::optional<std::int64_t> microwatts;   // a driver's average power over its own recent window
  std::optional<std::int64_t> maxRange;     // where the counter wraps around to 0
  bool asleep = false;                      // a suspended device, not read: it draws next to nothing
  std::optional<UnavailableReason> problem;
  double uptime = 0;  // the monotonic clock when read
  Date readAt;        // the wall clock when read
};

struct EnergyCounterScan {
  std::string directory;  // where counters were looked for
  std::vector<EnergyCounterReading> counters;
};

// The machine's energy counters and power meters, read together. Where the kernel lets only root read a
// counter, a system service may answer for it through this interface too.
class EnergyCounterSource {
 public:
  virtual ~EnergyCounterSource() = default;
  virtual EnergyCounterScan read() = 0;
};

}  // namespace wattline
