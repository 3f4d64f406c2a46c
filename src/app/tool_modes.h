// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/power_snapshot.h"
#include "platform/login_item.h"
#include "platform/user_defaults.h"
#include "readers/process_power_reader.h"
#include "readers/process_power_snapshot.h"

namespace wattline {

// {"version", "status", "showPanelOnLaunch"}.
nlohmann::json startupStatus(const std::string& version, const LoginItemManaging& loginItem,
                             const UserDefaults& defaults);

// The second of two detailed reads `seconds` apart: the first only primes the
// readers' energy counters, so component power can be present in the second.
PowerSnapshot measureSnapshot(const std::function<PowerSnapshot(bool includeDetails)>& read, double seconds,
                              const std::function<void(double)>& sleep);

// Two batches `seconds` apart, ranked.
ProcessPowerSnapshot measureProcessPower(ProcessPowerReader& reader, double seconds,
                                         const std::function<void(double)>& sleep);

}  // namespace wattline
