// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "base/power_snapshot.h"
#include "readers/process_power_reader.h"

namespace wattline {

// The process-wide power reader over this machine's sysfs (WATTLINE_SYSFS_ROOT, default /sys), created on
// first use.
namespace PowerReader {
PowerSnapshot read(bool includeDetails);
}  // namespace PowerReader

// A fresh process power reader over this machine's process table.
std::unique_ptr<ProcessPowerReader> makeSystemProcessPowerReader();
// The process-wide one, created on first use.
ProcessPowerReader& sharedProcessPowerReader();

}  // namespace wattline
