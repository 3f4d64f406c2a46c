#pragma once

#include <memory>

#include "platform/identity.h"
#include "platform/process_table.h"

namespace wattline {

// The process table over the /proc tree at WATTLINE_PROC_ROOT (default /proc) with the package energy of
// WATTLINE_SYSFS_ROOT (default /sys).
std::shared_ptr<ProcessTable> systemProcessTable(std::shared_ptr<const Clock> clock);

}  // namespace wattline
