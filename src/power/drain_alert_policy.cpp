// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/drain_alert_policy.h"

#include <cstdio>

namespace wattline {

std::string drainAlertText(const DrainAlert& alert) {
  char watts[32];
  std::snprintf(watts, sizeof watts, "%.1f W", alert.watts);
  return "「" + alert.name + "」正在大量耗电：近 5 分钟平均 " + watts;
}

std::optional<DrainAlert> DrainAlertPolicy::add(double uptime, double seconds, bool onBattery,
                                                double packageJoules,
                                                const std::map<std::string, AppUse>& apps) {
  // Minutes on the adapter break the window: the five minutes must all be on battery.
  if (!onBattery || !(seconds > 0)) {
    intervals_.clear();
    return std::nullopt;
  }
  // An interval that does not follow on from the last one is a gap.
  if (!intervals_.empty() && uptime - seconds > intervals_.back().end + 1) intervals_.clear();
  intervals_.push_back({uptime, seconds, packageJoules, apps});
  while (intervals_.size() > 1 && intervals_[1].end - intervals_[1].seconds <= uptime - kWindow)
    intervals_.pop_front();

  double covered = 0, package = 0;
  std::map<std::string, AppUse> totals;
  for (const Interval& interval : intervals_) {
    covered += interval.seconds;
    package += interval.packageJoules;
    for (const auto& [app, use] : interval.apps) {
      totals[app].name = use.name;
      totals[app].joules += use.joules;
    }
  }
  if (covered < kWindow || !(package > 0)) return std::nullopt;

  std::optional<DrainAlert> alert;
  for (const auto& [app, use] : totals) {
    const double watts = use.joules / covered;
    if (watts < kLeastWatts || use.joules < kLeastShare * package) continue;
    if (const auto told = lastAlert_.find(app);
        told != lastAlert_.end() && uptime - told->second < kQuietPerApp)
      continue;
    if (!alert || watts > alert->watts) alert = DrainAlert{app, use.name, watts};
  }
  if (alert) lastAlert_[alert->app] = uptime;
  return alert;
}

}  // namespace wattline
