// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/command_line.h"
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

// Where the history tools read and write.
struct HistoryToolContext {
  // Absent when no directory could be found for it.
  std::optional<std::filesystem::path> database;
  Date now;
  std::ostream& out;
  std::ostream& err;
};

// --app-energy and --export-history: the exit status; 2 for a bad duration or format or no database, 1 for a
// database that cannot be read, with one line on `err`. The database is only read.
int printAppEnergy(const CommandLineOptions& options, const HistoryToolContext& context);
int exportHistory(const CommandLineOptions& options, const HistoryToolContext& context);

}  // namespace wattline
