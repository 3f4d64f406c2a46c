#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace wattline {

// The processor packages' RAPL energy counters under <sysfs>/class/powercap.
class RaplPackageEnergy {
 public:
  explicit RaplPackageEnergy(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

  // Energy all packages used since the previous call, in nanojoules (0 on the
  // first call); nothing when no package counter can be read, or when how much
  // a package used cannot be told.
  std::optional<std::uint64_t> consumedSinceLastRead();

 private:
  std::string sysfsRoot_;
  // Last raw microjoule reading per domain directory.
  std::map<std::string, std::int64_t> previous_;
};

}  // namespace wattline
