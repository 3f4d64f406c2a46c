// SPDX-License-Identifier: GPL-3.0-or-later

#include "energyd/powercap_counters.h"

#include "platform/linux/rapl.h"

namespace wattline::energyd {

bool servesZone(const std::string& zone, const std::string& name) {
  if (!zone.starts_with("intel-rapl:") && !zone.starts_with("intel-rapl-mmio:")) return false;
  return name.starts_with("package-") || name == "psys" || name == "core" || name == "uncore" ||
         name == "dram";
}

CountersRead readPowercap(const std::string& sysfsRoot, std::int64_t at) {
  CountersRead read{at, {}};
  for (const auto& domain : raplDomains(sysfsRoot, true)) {
    if (!servesZone(domain.zone, domain.name)) continue;
    const auto microjoules = domain.energy();
    if (!microjoules) continue;
    read.counters.push_back({domain.zone, static_cast<std::uint64_t>(*microjoules),
                             static_cast<std::uint64_t>(domain.maxEnergyRange.value_or(0))});
  }
  return read;
}

}  // namespace wattline::energyd
