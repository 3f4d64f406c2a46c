// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/app_energy_ledger.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace wattline {

namespace {

// Uptime and wall clock disagree by more than this across a sleep or a clock change.
constexpr double kClockDisagreement = 2.0;

bool usable(const ProcessEnergyBatch& batch) {
  return batch.available && batch.packageNanojoules.has_value();
}

std::int64_t minuteOf(double second) {
  return static_cast<std::int64_t>(std::floor(second / 60)) * 60;
}

}  // namespace

std::vector<LedgerMinute> AppEnergyLedger::add(const ProcessEnergyBatch& batch, bool onBattery) {
  const std::optional<ProcessEnergyBatch> previous = std::move(previous_);
  previous_.reset();
  last_.reset();
  if (!usable(batch)) return {};
  previous_ = batch;
  const double to = secondsSince1970(batch.timestamp);
  if (previous) {
    const double from = secondsSince1970(previous->timestamp);
    const double uptime = batch.uptime - previous->uptime;
    const bool inStep = uptime > 0 && uptime <= kLongestInterval &&
                        std::fabs((to - from) - uptime) < kClockDisagreement &&
                        *batch.packageNanojoules >= *previous->packageNanojoules;
    if (inStep && to > from) {
      std::unordered_map<std::int32_t, const ProcessEnergyCounter*> before;
      for (const auto& counter : previous->counters) before.emplace(counter.pid, &counter);
      std::map<std::string, AppMinuteShare> used;
      double billed = 0;
      for (const auto& counter : batch.counters) {
        const auto found = before.find(counter.pid);
        if (found == before.end()) continue;
        const ProcessEnergyCounter& old = *found->second;
        // Only the same incarnation in the same group, with counters that moved forward, is billed.
        if (old.startTime != counter.startTime || old.groupID != counter.groupID ||
            old.energyNanojoules > counter.energyNanojoules)
          continue;
        const double joules = static_cast<double>(counter.energyNanojoules - old.energyNanojoules) / 1e9;
        const double cpu = std::max(0.0, counter.cpuSeconds - old.cpuSeconds);
        if (joules == 0 && cpu == 0) continue;
        AppMinuteShare& share = used[counter.groupID];
        share.app = counter.groupID;
        share.name = counter.name;
        share.joules += joules;
        share.cpuSeconds = share.cpuSeconds.value_or(0) + cpu;
        billed += joules;
      }
      const double package =
          static_cast<double>(*batch.packageNanojoules - *previous->packageNanojoules) / 1e9;
      used[kUnbilledApp] = {kUnbilledApp, "", std::max(0.0, package - billed), std::nullopt};
      spread(from, to, onBattery, used);
      last_ = Interval{to - from, package, std::move(used)};
    }
  }

  std::vector<LedgerMinute> over;
  while (!open_.empty() && open_.begin()->first + 60 <= to) {
    over.push_back(close(open_.begin()->first, open_.begin()->second));
    open_.erase(open_.begin());
  }
  return over;
}

void AppEnergyLedger::spread(double from, double to, bool onBattery,
                             const std::map<std::string, AppMinuteShare>& used) {
  for (std::int64_t minute = minuteOf(from); static_cast<double>(minute) < to; minute += 60) {
    const double overlap =
        std::min(to, static_cast<double>(minute + 60)) - std::max(from, static_cast<double>(minute));
    if (overlap <= 0) continue;
    const double part = overlap / (to - from);
    OpenMinute& open = open_[minute];
    open.seconds += overlap;
    open.onBattery = open.onBattery || onBattery;
    for (const auto& [app, share] : used) {
      AppMinuteShare& into = open.shares[app];
      into.app = share.app;
      into.name = share.name;
      into.joules += share.joules * part;
      if (share.cpuSeconds) into.cpuSeconds = into.cpuSeconds.value_or(0) + *share.cpuSeconds * part;
    }
  }
}

LedgerMinute AppEnergyLedger::close(std::int64_t minute, OpenMinute& open) {
  LedgerMinute closed{minute, std::min(open.seconds, 60.0), open.onBattery, {}};
  for (auto& [app, share] : open.shares) closed.shares.push_back(std::move(share));
  return closed;
}

std::vector<LedgerMinute> AppEnergyLedger::finish() {
  std::vector<LedgerMinute> minutes;
  for (auto& [minute, open] : open_) minutes.push_back(close(minute, open));
  open_.clear();
  previous_.reset();
  last_.reset();
  return minutes;
}

}  // namespace wattline
