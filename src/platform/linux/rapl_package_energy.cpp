// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/rapl_package_energy.h"

#include "base/counter_interval.h"

namespace wattline {

std::optional<PackageEnergy> RaplPackageEnergy::consumedSinceLastRead() {
  std::map<std::string, EnergyCounterReading> current;
  std::optional<PackageEnergy> consumed = PackageEnergy{};
  bool timed = false;
  for (auto& counter : packages_->read().counters) {
    if (counter.domain != EnergyDomain::package || !counter.microjoules) continue;
    auto before = previous_.find(counter.path);
    if (before != previous_.end()) {
      // A package whose use cannot be told (a reset without a known range, an absurd jump) makes the whole
      // interval unknown rather than quieter than it was.
      auto delta = energyDelta(*before->second.microjoules, *counter.microjoules, counter.maxRange);
      std::uint64_t nanojoules = 0;
      if (!delta || !consumed ||
          __builtin_mul_overflow(static_cast<std::uint64_t>(*delta), 1000u, &nanojoules) ||
          __builtin_add_overflow(consumed->nanojoules, nanojoules, &consumed->nanojoules)) {
        consumed.reset();
      } else if (!timed) {
        // The packages are read together: the first one's interval is theirs.
        consumed->seconds = counter.uptime - before->second.uptime;
        timed = true;
      }
    }
    current.insert_or_assign(counter.path, std::move(counter));
  }
  if (current.empty()) return std::nullopt;
  previous_ = std::move(current);
  return consumed;
}

}  // namespace wattline
