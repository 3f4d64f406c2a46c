// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/process_power_policy.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace wattline {

namespace {

constexpr double kShortestInterval = 0.1;
constexpr double kLongestInterval = 10.0;
// Uptime and wall clock disagree by more than this across a sleep or a clock change.
constexpr double kClockDisagreement = 2.0;
// Anything above this is a counter glitch, not a process.
constexpr double kMostWatts = 1000.0;
constexpr std::size_t kShownRows = 3;

bool usableInterval(double seconds) {
  return std::isfinite(seconds) && seconds >= kShortestInterval && seconds <= kLongestInterval;
}

}  // namespace

ProcessPowerSnapshot ProcessPowerPolicy::sample(const ProcessEnergyBatch* previous,
                                                const ProcessEnergyBatch& current) {
  using Phase = ProcessPowerSnapshot::Phase;
  if (!current.available) return {Phase::unavailable, {}, std::nullopt};
  if (previous == nullptr || !previous->available) return {Phase::sampling, {}, std::nullopt};

  double dt = current.uptime - previous->uptime;
  double wall = secondsBetween(previous->timestamp, current.timestamp);
  if (!usableInterval(dt) || !(std::fabs(wall - dt) < kClockDisagreement))
    return {Phase::sampling, {}, std::nullopt};

  std::unordered_map<std::int32_t, const ProcessEnergyCounter*> before;
  before.reserve(previous->counters.size());
  for (const auto& counter : previous->counters) before.emplace(counter.pid, &counter);

  std::vector<ProcessPowerRow> rows;
  std::unordered_map<std::string_view, std::size_t> rowIndex;
  std::unordered_set<std::int32_t> counted;
  for (const auto& counter : current.counters) {
    if (!counted.insert(counter.pid).second) continue;
    auto found = before.find(counter.pid);
    if (found == before.end()) continue;
    const ProcessEnergyCounter& old = *found->second;
    // A restarted or regrouped process, or a counter that went backwards, says nothing about this interval.
    if (old.startTime != counter.startTime || old.groupID != counter.groupID ||
        old.energyNanojoules > counter.energyNanojoules)
      continue;
    double interval =
        (counter.sampledUptime && old.sampledUptime) ? *counter.sampledUptime - *old.sampledUptime : dt;
    if (!usableInterval(interval)) continue;
    double watts = static_cast<double>(counter.energyNanojoules - old.energyNanojoules) / 1e9 / interval;
    if (!std::isfinite(watts) || watts <= 0 || watts > kMostWatts) continue;
    auto [slot, added] = rowIndex.try_emplace(counter.groupID, rows.size());
    if (added) rows.push_back({counter.groupID, counter.name, 0.0, 0});
    rows[slot->second].watts += watts;
    rows[slot->second].processCount += 1;
  }

  std::erase_if(rows, [](const ProcessPowerRow& row) { return !(row.watts <= kMostWatts); });
  std::sort(rows.begin(), rows.end(), [](const ProcessPowerRow& a, const ProcessPowerRow& b) {
    return a.watts != b.watts ? a.watts > b.watts : a.id < b.id;
  });
  if (rows.size() > kShownRows) rows.resize(kShownRows);
  return {Phase::ready, std::move(rows), current.timestamp};
}

std::optional<std::string> ProcessPowerPolicy::appPath(std::string_view path) {
  auto at = path.find(".app/");
  if (at == std::string_view::npos) return std::nullopt;
  return std::string(path.substr(0, at + 4));
}

}  // namespace wattline
