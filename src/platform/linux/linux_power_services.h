// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/linux/energy_service.h"
#include "platform/power_reader_services.h"

namespace wattline {

// The reader's sources over the sysfs tree at `sysfsRoot`, sharing one clock; the energy counters that are
// closed are asked of `service`, when there is one.
PowerReaderServices linuxPowerServices(const std::string& sysfsRoot, std::unique_ptr<Clock> clock,
                                       std::shared_ptr<EnergyServiceClient> service = nullptr);

// WATTLINE_SYSFS_ROOT, or /sys.
std::string sysfsRootFromEnvironment();

}  // namespace wattline
