// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "history/app_energy_types.h"
#include "readers/process_power_snapshot.h"

namespace wattline {

// Bills each app group the energy its processes used between two process batches, minute by minute. What
// no process seen in both batches used (the idle floor, kernel threads, processes that ended between the
// batches) is the unbilled share, so the shares of a minute add up to the package energy measured in it.
class AppEnergyLedger {
 public:
  // The longest gap between two batches that is still billed; a longer one is a gap in the ledger.
  static constexpr double kLongestInterval = 60.0;

  // Bills the interval from the previous batch to `batch`, during which the machine ran on battery or
  // not; returns the minutes that are over with it, oldest first.
  std::vector<LedgerMinute> add(const ProcessEnergyBatch& batch, bool onBattery);
  // The minutes still open, as far as they were measured; the next batch begins afresh.
  std::vector<LedgerMinute> finish();
  // The next batch only starts a new interval (after a sleep or a pause in recording).
  void breakContinuity() { previous_.reset(); }

  // What the last batch billed, by app, the unbilled energy included.
  struct Interval {
    double seconds = 0;
    double packageJoules = 0;
    std::map<std::string, AppMinuteShare> used;
  };
  // Absent when the last batch billed nothing.
  const std::optional<Interval>& lastInterval() const { return last_; }

 private:
  struct OpenMinute {
    double seconds = 0;
    bool onBattery = false;
    std::map<std::string, AppMinuteShare> shares;
  };
  // Energy and CPU time of one interval, spread over the minutes it overlaps in proportion to time.
  void spread(double from, double to, bool onBattery, const std::map<std::string, AppMinuteShare>& used);
  static LedgerMinute close(std::int64_t minute, OpenMinute& open);

  std::optional<ProcessEnergyBatch> previous_;
  std::map<std::int64_t, OpenMinute> open_;
  std::optional<Interval> last_;
};

}  // namespace wattline
