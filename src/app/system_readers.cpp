// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/system_readers.h"

#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/system_process_table.h"
#include "readers/power_reader.h"

namespace wattline {

namespace {

// One connection to the energy service for every reader of the process.
std::shared_ptr<EnergyServiceClient> energyService() {
  // A function-local static is created once, safely under concurrent first use.
  static auto service = std::make_shared<EnergyServiceClient>(std::make_shared<SystemClock>());
  return service;
}

}  // namespace

namespace PowerReader {

PowerSnapshot read(bool includeDetails) {
  static LivePowerReader live(
      linuxPowerServices(sysfsRootFromEnvironment(), std::make_unique<SystemClock>(), energyService()));
  return live.read(includeDetails);
}

}  // namespace PowerReader

std::unique_ptr<ProcessPowerReader> makeSystemProcessPowerReader() {
  auto clock = std::make_shared<SystemClock>();
  return std::make_unique<ProcessPowerReader>(systemProcessTable(clock, energyService()), clock);
}

ProcessPowerReader& sharedProcessPowerReader() {
  static std::unique_ptr<ProcessPowerReader> reader = makeSystemProcessPowerReader();
  return *reader;
}

}  // namespace wattline
