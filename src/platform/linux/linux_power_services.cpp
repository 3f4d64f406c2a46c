// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/linux_power_services.h"

#include <cstdlib>

#include "platform/linux/energy_counters.h"
#include "platform/linux/energy_service_counters.h"
#include "platform/linux/hwmon.h"
#include "platform/linux/power_supply.h"

namespace wattline {

PowerReaderServices linuxPowerServices(const std::string& sysfsRoot, std::unique_ptr<Clock> clock,
                                       std::shared_ptr<EnergyServiceClient> service) {
  PowerReaderServices services;
  services.supplies = std::make_unique<SysfsPowerSupplies>(sysfsRoot, *clock);
  services.fans = std::make_unique<HwmonFans>(sysfsRoot, *clock);
  services.energy = std::make_unique<SysfsEnergyCounters>(sysfsRoot, *clock);
  if (service)
    services.energy =
        std::make_unique<EnergyServiceCounters>(std::move(services.energy), std::move(service), *clock);
  services.clock = std::move(clock);
  return services;
}

std::string sysfsRootFromEnvironment() {
  const char* root = std::getenv("WATTLINE_SYSFS_ROOT");
  return root && *root ? root : "/sys";
}

}  // namespace wattline
