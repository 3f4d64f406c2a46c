#pragma once

#include <string>

#include "platform/energy_reports.h"

namespace wattline {

// Energy reports from the RAPL domains of class/powercap: "Energy Model" /
// "CPU Energy" summed over the package domains and "Energy Model" / "GPU
// Energy" from the graphics domain, both in "uJ". A domain whose counter
// cannot be read gives no channel.
class PowercapEnergyReports : public EnergyReports {
 public:
  explicit PowercapEnergyReports(std::string sysfsRoot) : root_(std::move(sysfsRoot)) {}
  // Nothing when the system has no RAPL domain at all.
  std::unique_ptr<EnergyReportLibrary> open() override;
  // The running kernel's release.
  OperatingSystemVersion operatingSystemVersion() const override;

 private:
  std::string root_;
};

// "6.1.0-18-amd64" → 6.1.0; missing parts are 0.
OperatingSystemVersion parseKernelRelease(std::string_view release);

}  // namespace wattline
