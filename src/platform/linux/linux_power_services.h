#pragma once

#include <string>

#include "platform/power_reader_services.h"

namespace wattline {

// The reader's sources over the sysfs tree at `sysfsRoot`, sharing one clock.
PowerReaderServices linuxPowerServices(const std::string& sysfsRoot, std::unique_ptr<Clock> clock);

// WATTLINE_SYSFS_ROOT, or /sys.
std::string sysfsRootFromEnvironment();

}  // namespace wattline
