#pragma once

#include <string>

#include "platform/energy_reports.h"
#include "platform/identity.h"

namespace wattline {

// Energy reports from the RAPL domains of class/powercap and the graphics drivers'
// hwmon readings: "Energy Model" / "CPU Energy" summed over the package domains,
// and "Energy Model" / "GPU Energy" from the integrated graphics' domain plus the
// "amdgpu", "i915" and "xe" devices' energy counters ("energy1_input", µJ) or,
// without one, their average power ("power1_average", µW, taken over the sample
// interval of the monotonic clock). Both in "uJ". A reading that cannot be told
// leaves its channel out of that interval; a suspended device adds nothing and is
// not read.
class PowercapEnergyReports : public EnergyReports {
 public:
  PowercapEnergyReports(std::string sysfsRoot, const Clock& clock)
      : root_(std::move(sysfsRoot)), clock_(clock) {}
  // Nothing when the system has neither a RAPL domain nor a graphics driver's reading.
  std::unique_ptr<EnergyReportLibrary> open() override;
  // The running kernel's release.
  OperatingSystemVersion operatingSystemVersion() const override;

 private:
  std::string root_;
  const Clock& clock_;
};

// "6.1.0-18-amd64" → 6.1.0; missing parts are 0.
OperatingSystemVersion parseKernelRelease(std::string_view release);

}  // namespace wattline
