#pragma once

#include <memory>

#include "readers/process_power_reader.h"

namespace wattline {

// A fresh reader over the /proc tree at WATTLINE_PROC_ROOT (default /proc) with
// the package energy of WATTLINE_SYSFS_ROOT (default /sys).
std::unique_ptr<ProcessPowerReader> makeSystemProcessPowerReader();

}  // namespace wattline
