// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wattline {

// The key of the energy nobody is billed for: the idle floor, kernel threads, processes that ended unseen.
inline constexpr const char* kUnbilledApp = "";

// One app group's part of one minute of package energy.
struct AppMinuteShare {
  std::string app;  // group key; kUnbilledApp for the unbilled energy
  std::string name;
  double joules = 0;
  std::optional<double> cpuSeconds;  // absent for the unbilled energy, whose CPU time is nobody's
  bool operator==(const AppMinuteShare&) const = default;
};

// One minute of the ledger: its shares add up to the package energy of the seconds it covers.
struct LedgerMinute {
  std::int64_t minute = 0;  // the Unix second it begins, a multiple of 60
  double seconds = 0;       // how much of the minute the ledger measured
  bool onBattery = false;   // the machine ran on battery during some of it
  std::vector<AppMinuteShare> shares;
  bool operator==(const LedgerMinute&) const = default;
};

struct AppEnergyTotal {
  std::string app;
  std::string name;
  double joules = 0;
  std::optional<double> cpuSeconds;
  bool operator==(const AppEnergyTotal&) const = default;
};

// The apps' energy over a range of minutes.
struct AppEnergyRanking {
  std::vector<AppEnergyTotal> apps;        // the largest first, at most kRankedApps
  std::optional<AppEnergyTotal> unbilled;  // absent when the range holds no ledger minute
  double billedJoules = 0;                 // of every app, the ones past the tenth included
  double seconds = 0;                      // measured seconds in the range
  bool operator==(const AppEnergyRanking&) const = default;
};

inline constexpr std::size_t kRankedApps = 10;

// One app's average power in one ledger minute, or over a whole hour for the long ranges.
struct AppPowerPoint {
  std::int64_t minute = 0;  // where it begins
  double watts = 0;
  std::int64_t width = 60;  // seconds
  bool operator==(const AppPowerPoint&) const = default;
};

// An app's share of the range's billed energy, absent when nothing was billed.
std::optional<double> energyShare(const AppEnergyTotal& app, const AppEnergyRanking& ranking);
// Its average power over the measured seconds, absent without any.
std::optional<double> averageWatts(const AppEnergyTotal& app, const AppEnergyRanking& ranking);

}  // namespace wattline
