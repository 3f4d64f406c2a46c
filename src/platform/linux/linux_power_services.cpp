#include "platform/linux/linux_power_services.h"

#include <cstdlib>

#include "platform/linux/power_supply.h"
#include "platform/linux/power_supply_registry.h"
#include "platform/linux/powercap_energy_reports.h"
#include "platform/linux/sensor_bus.h"
#include "platform/linux/system_clock.h"

namespace wattline {

PowerReaderServices linuxPowerServices(const std::string& sysfsRoot, std::unique_ptr<Clock> clock) {
  // One scanner for the registry, the power sources and the sensor bus, so
  // one sample reads the supplies once.
  auto supplies = std::make_shared<PowerSupplyScanner>(sysfsRoot, *clock);
  PowerReaderServices services;
  services.registry = std::make_unique<PowerSupplyRegistry>(supplies);
  services.powerSources = std::make_unique<PowerSupplySources>(supplies);
  services.smc = std::make_unique<SensorBusService>(sysfsRoot, supplies, *clock);
  services.energyReports = std::make_unique<PowercapEnergyReports>(sysfsRoot, *clock);
  services.clock = std::move(clock);
  return services;
}

std::string sysfsRootFromEnvironment() {
  const char* root = std::getenv("WATTLINE_SYSFS_ROOT");
  return root && *root ? root : "/sys";
}

namespace PowerReader {

PowerSnapshot read(bool includeDetails) {
  // A function-local static is created once, safely under concurrent first use.
  static LivePowerReader live(
      linuxPowerServices(sysfsRootFromEnvironment(), std::make_unique<SystemClock>()));
  return live.read(includeDetails);
}

}  // namespace PowerReader

}  // namespace wattline
