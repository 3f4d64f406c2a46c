// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/system_process_table.h"

#include <cstdlib>

#include "platform/linux/desktop_application.h"
#include "platform/linux/energy_counters.h"
#include "platform/linux/energy_service_counters.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/proc_process_table.h"

namespace wattline {

namespace {

std::string procRootFromEnvironment() {
  const char* value = std::getenv("WATTLINE_PROC_ROOT");
  return value != nullptr && value[0] != '\0' ? value : "/proc";
}

}  // namespace

std::shared_ptr<ProcessTable> systemProcessTable(std::shared_ptr<const Clock> clock,
                                                 std::shared_ptr<EnergyServiceClient> service) {
  auto packages = std::make_unique<EnergyServiceCounters>(
      std::make_unique<SysfsEnergyCounters>(sysfsRootFromEnvironment(), *clock, true), std::move(service),
      *clock);
  return std::make_shared<ProcProcessTable>(
      procRootFromEnvironment(), std::move(packages),
      DesktopApplications(applicationDirectories(), programDirectories()), std::move(clock));
}

}  // namespace wattline
