#pragma once

#include <string>

#include "readers/power_reader.h"

namespace wattline {

// The reader's services over the sysfs tree at `sysfsRoot`, sharing one
// supply scanner and one clock.
PowerReaderServices linuxPowerServices(const std::string& sysfsRoot, std::unique_ptr<Clock> clock);

// WATTLINE_SYSFS_ROOT, or /sys.
std::string sysfsRootFromEnvironment();

}  // namespace wattline
