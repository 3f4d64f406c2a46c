// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/identity.h"
#include "platform/linux/energy_service.h"
#include "platform/process_table.h"

namespace wattline {

// The process table over the /proc tree at WATTLINE_PROC_ROOT (default /proc) with the package energy of
// WATTLINE_SYSFS_ROOT (default /sys), through `service` where the counters are closed.
std::shared_ptr<ProcessTable> systemProcessTable(std::shared_ptr<const Clock> clock,
                                                 std::shared_ptr<EnergyServiceClient> service);

}  // namespace wattline
