#pragma once

#include <memory>

#include "platform/linux/power_supply.h"
#include "platform/power_sources.h"
#include "platform/registry.h"

namespace wattline {

// The registry over class/power_supply: the "AppleSmartBattery" service exists
// while there is at least one system supply, and its property table is built
// from the supplies' attributes. No other service class exists here.
class PowerSupplyRegistry : public Registry {
 public:
  explicit PowerSupplyRegistry(std::shared_ptr<PowerSupplyScanner> scanner) : scanner_(std::move(scanner)) {}
  std::unique_ptr<RegistryEntry> matchingService(std::string_view className) override;

 private:
  std::shared_ptr<PowerSupplyScanner> scanner_;
};

// The providing power source from class/power_supply.
class PowerSupplySources : public PowerSources {
 public:
  explicit PowerSupplySources(std::shared_ptr<PowerSupplyScanner> scanner) : scanner_(std::move(scanner)) {}
  std::optional<std::string> providingSourceType() override;

 private:
  std::shared_ptr<PowerSupplyScanner> scanner_;
};

}  // namespace wattline
