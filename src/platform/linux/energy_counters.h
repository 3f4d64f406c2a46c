// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/energy_counters.h"
#include "platform/identity.h"
#include "platform/linux/hwmon.h"

namespace wattline {

// The RAPL domains of class/powercap (the packages, "psys" and the first "uncore") and the graphics
// drivers' own readings in class/hwmon (amdgpu, i915, xe: the energy counter energy1_input, else the average
// power power1_average or power1_input), or the packages alone. They are found at the first read, again at
// the next read after a file vanished, and at most every 30 seconds while there are none.
class SysfsEnergyCounters : public EnergyCounterSource {
 public:
  static constexpr double kSearchInterval = 30.0;

  SysfsEnergyCounters(std::string sysfsRoot, const Clock& clock, bool packagesOnly = false)
      : root_(std::move(sysfsRoot)), clock_(clock), packagesOnly_(packagesOnly) {}
  EnergyCounterScan read() override;

 private:
  struct Source {
    EnergyDomain domain;
    std::string path;
    bool averagePower = false;
    std::optional<std::int64_t> maxRange;
    std::optional<HwmonDevice> device;  // a device that may be suspended
  };

  void search();

  std::string root_;
  const Clock& clock_;
  bool packagesOnly_;
  std::vector<Source> sources_;
  Date lastSearch_ = kDistantPast;
};

// What an amdgpu device's hwmon tells of the chip: only an APU reports the northbridge voltage (in1,
// "vddnb") or names its power limits slowPPT and fastPPT; a card reports the graphics voltage (in0,
// "vddgfx") alone. Other graphics drivers' monitors belong to cards.
EnergyDomain graphicsDomain(const HwmonDevice& device);

}  // namespace wattline
