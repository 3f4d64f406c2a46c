// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace wattline {

// The system service that reads the root-only powercap energy counters for every user, at most once a
// second: its bus name, object and interface. Read() → (t readAtMonotonicNs, a(stt) counters) with each
// served zone's name in class/powercap ("intel-rapl:0"), energy_uj and max_energy_range_uj (0: not known).
inline constexpr const char* kEnergyServiceName = "local.wattline.EnergyCounters1";
inline constexpr const char* kEnergyServicePath = "/local/wattline/EnergyCounters1";
inline constexpr const char* kEnergyServiceInterface = "local.wattline.EnergyCounters1";

}  // namespace wattline
