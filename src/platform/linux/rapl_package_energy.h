// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/energy_counters.h"

namespace wattline {

// The energy the processor packages used between two reads of their counters.
struct PackageEnergy {
  std::uint64_t nanojoules = 0;
  double seconds = 0;  // between the counters' two reads, by their own read times; 0 on the first read
};

// Sums the package counters of `packages` (a source of package counters) from read to read.
class RaplPackageEnergy {
 public:
  explicit RaplPackageEnergy(std::unique_ptr<EnergyCounterSource> packages)
      : packages_(std::move(packages)) {}

  // Energy all packages used since the previous call (nothing used on the first call); nothing when no
  // package counter can be read, or when how much a package used cannot be told.
  std::optional<PackageEnergy> consumedSinceLastRead();

 private:
  std::unique_ptr<EnergyCounterSource> packages_;
  // Last reading per counter file.
  std::map<std::string, EnergyCounterReading> previous_;
};

}  // namespace wattline
