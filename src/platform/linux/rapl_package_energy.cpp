#include "platform/linux/rapl_package_energy.h"

#include "platform/linux/rapl.h"

namespace wattline {

std::optional<std::uint64_t> RaplPackageEnergy::consumedSinceLastRead() {
  std::map<std::string, std::int64_t> current;
  std::uint64_t consumed = 0;
  // Only the packages: their parts ("core", "uncore") are already counted in them.
  for (const auto& domain : raplDomains(sysfsRoot_)) {
    if (!domain.isPackage()) continue;
    auto microjoules = domain.energy();
    if (!microjoules) continue;
    current[domain.directory] = *microjoules;
    auto before = previous_.find(domain.directory);
    if (before == previous_.end()) continue;
    if (auto delta = energyDelta(before->second, *microjoules, domain.maxEnergyRange))
      consumed += static_cast<std::uint64_t>(*delta) * 1000;
  }
  if (current.empty()) return std::nullopt;
  previous_ = std::move(current);
  return consumed;
}

}  // namespace wattline
