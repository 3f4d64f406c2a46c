// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "energyd/counter_share.h"

namespace wattline::energyd {

// Whether the service answers for a powercap zone: the packages, "psys", "core", "uncore" and "dram" of the
// RAPL interfaces (MSR and MMIO), nothing else.
bool servesZone(const std::string& zone, const std::string& name);

// The counters of the zones served under `sysfsRoot`/class/powercap, looked for anew on every read (a read
// happens at most once a second). A zone whose counter is gone or unreadable is left out.
CountersRead readPowercap(const std::string& sysfsRoot, std::int64_t at);

}  // namespace wattline::energyd
