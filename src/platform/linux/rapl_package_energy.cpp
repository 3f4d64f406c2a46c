#include "platform/linux/rapl_package_energy.h"

#include "base/counter_interval.h"
#include "platform/linux/rapl.h"

namespace wattline {

std::optional<std::uint64_t> RaplPackageEnergy::consumedSinceLastRead() {
  std::map<std::string, std::int64_t> current;
  std::optional<std::uint64_t> consumed = 0;
  // Only the packages: their parts ("core", "uncore") are already counted in them.
  for (const auto& domain : raplDomains(sysfsRoot_)) {
    if (!domain.isPackage()) continue;
    auto microjoules = domain.energy();
    if (!microjoules) continue;
    current[domain.directory] = *microjoules;
    auto before = previous_.find(domain.directory);
    if (before == previous_.end()) continue;
    // A package whose use cannot be told (a reset without a known range, an absurd jump) makes the whole
    // interval unknown rather than quieter than it was.
    auto delta = energyDelta(before->second, *microjoules, domain.maxEnergyRange);
    std::uint64_t nanojoules = 0;
    if (!delta || !consumed ||
        __builtin_mul_overflow(static_cast<std::uint64_t>(*delta), 1000u, &nanojoules) ||
        __builtin_add_overflow(*consumed, nanojoules, &*consumed))
      consumed.reset();
  }
  if (current.empty()) return std::nullopt;
  previous_ = std::move(current);
  return consumed;
}

}  // namespace wattline
