// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/energy_counters.h"

#include <unistd.h>

#include "base/retry_timing.h"
#include "platform/linux/rapl.h"
#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

bool exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

}  // namespace

EnergyDomain graphicsDomain(const HwmonDevice& device) {
  if (device.name != "amdgpu") return EnergyDomain::discreteGraphics;
  const auto label = sysfs::text(device.directory + "/power1_label");
  if (exists(device.directory + "/in1_input") || label == "slowPPT" || label == "fastPPT")
    return EnergyDomain::socGraphics;
  if (exists(device.directory + "/in0_input")) return EnergyDomain::discreteGraphics;
  return EnergyDomain::undeterminedGraphics;
}

void SysfsEnergyCounters::search() {
  lastSearch_ = clock_.now();
  bool integrated = false;
  for (const auto& domain : raplDomains(root_)) {
    const std::string path = domain.directory + "/energy_uj";
    if (domain.isPackage())
      sources_.push_back({EnergyDomain::package, path, false, domain.maxEnergyRange, {}});
    if (packagesOnly_) continue;
    if (domain.isPlatform())
      sources_.push_back({EnergyDomain::platform, path, false, domain.maxEnergyRange, {}});
    // The first graphics share only: a second package's would be another chip's.
    if (domain.isGraphics() && !integrated) {
      integrated = true;
      sources_.push_back({EnergyDomain::integratedGraphics, path, false, domain.maxEnergyRange, {}});
    }
  }
  if (packagesOnly_) return;
  for (const auto& device : hwmonDevices(root_)) {
    if (device.name != "amdgpu" && device.name != "i915" && device.name != "xe") continue;
    Source source{graphicsDomain(device), device.directory + "/energy1_input", false, std::nullopt, device};
    for (const char* average : {"power1_average", "power1_input"}) {
      if (exists(source.path)) break;
      source.path = device.directory + "/" + average;
      source.averagePower = true;
    }
    if (!exists(source.path)) continue;
    // A driver that cannot answer now is left out rather than spoiling the others; a suspended device is
    // taken on trust, as reading it to check would wake it.
    if (!device.asleep() && !sysfs::integer(source.path)) continue;
    sources_.push_back(std::move(source));
  }
}

EnergyCounterScan SysfsEnergyCounters::read() {
  if (sources_.empty() && attemptDue(lastSearch_, clock_.now(), kSearchInterval)) search();
  EnergyCounterScan scan{root_ + "/class/powercap", {}};
  scan.counters.reserve(sources_.size());
  bool vanished = false;
  for (const auto& source : sources_) {
    EnergyCounterReading reading;
    reading.domain = source.domain;
    reading.path = source.path;
    reading.maxRange = source.maxRange;
    reading.asleep = source.device && source.device->asleep();
    if (!reading.asleep) {
      auto value = sysfs::readInteger(source.path);
      if (value.value && *value.value < 0)
        value = {std::nullopt,
                 UnavailableReason{UnavailableReason::Kind::malformed, source.path + " (negative)"}};
      (source.averagePower ? reading.microwatts : reading.microjoules) = value.value;
      reading.problem = std::move(value.problem);
      vanished =
          vanished || (reading.problem && reading.problem->kind == UnavailableReason::Kind::notReported);
    }
    reading.uptime = clock_.uptime();
    reading.readAt = clock_.now();
    scan.counters.push_back(std::move(reading));
  }
  if (vanished) {
    sources_.clear();
    lastSearch_ = kDistantPast;
  }
  return scan;
}

}  // namespace wattline
