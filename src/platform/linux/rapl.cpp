// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/rapl.h"

#include "platform/linux/sysfs_file.h"

namespace wattline {

std::optional<std::int64_t> RaplDomain::energy() const {
  const auto value = sysfs::integer(directory + "/energy_uj");
  if (!value || *value < 0) return std::nullopt;
  return value;
}

std::vector<RaplDomain> raplDomains(const std::string& sysfsRoot, bool mmio) {
  std::vector<RaplDomain> domains;
  const std::string base = sysfsRoot + "/class/powercap/";
  for (const auto& entry : sysfs::list(base)) {
    // The MMIO interface mirrors the package domains of the MSR one; counting both would double them.
    if (entry.starts_with("intel-rapl-mmio") && !mmio) continue;
    const std::string directory = base + entry;
    auto name = sysfs::text(directory + "/name");
    if (!name) continue;
    auto range = sysfs::integer(directory + "/max_energy_range_uj");
    if (range && *range <= 0) range.reset();
    domains.push_back({entry, directory, std::move(*name), range});
  }
  return domains;
}

}  // namespace wattline
