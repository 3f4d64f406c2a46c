// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wattline {

// One RAPL domain of class/powercap: a cumulative energy counter in µJ.
struct RaplDomain {
  std::string zone;  // its entry in class/powercap: "intel-rapl:0", "intel-rapl-mmio:0"
  std::string directory;
  std::string name;  // "package-0", "core", "uncore", "dram", "psys"
  std::optional<std::int64_t> maxEnergyRange;

  // Nothing when the counter cannot be read (root-only on many kernels).
  std::optional<std::int64_t> energy() const;
  bool isPackage() const { return name.starts_with("package-"); }
  // The integrated graphics' share of the package.
  bool isGraphics() const { return name == "uncore"; }
  bool isPlatform() const { return name == "psys"; }
};

// The named domains under `sysfsRoot`/class/powercap, in natural order: those of the MSR interface and, with
// `mmio`, the MMIO interface's view of the packages as well.
std::vector<RaplDomain> raplDomains(const std::string& sysfsRoot, bool mmio = false);

}  // namespace wattline
