// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>

namespace wattline {

// One app group's average power over the last five minutes, worth telling the user about.
struct DrainAlert {
  std::string app;
  std::string name;
  double watts = 0;
  bool operator==(const DrainAlert&) const = default;
};

// The notification's one line: "「<name>」正在大量耗电：近 5 分钟平均 6.2 W".
std::string drainAlertText(const DrainAlert& alert);

// Decides when one app drains the battery: on battery through the whole of the last five minutes, an app
// group that averaged at least 3 W and at least a quarter of the package power over them, at most once per
// app per hour. Fed the ledger's intervals in order, with the monotonic time each ended at.
class DrainAlertPolicy {
 public:
  static constexpr double kWindow = 300;
  static constexpr double kLeastWatts = 3;
  static constexpr double kLeastShare = 0.25;
  static constexpr double kQuietPerApp = 3600;

  struct AppUse {
    std::string name;
    double joules = 0;
  };

  // An interval of `seconds` ending at `uptime`; `apps` by group key, without the unbilled energy. Returns
  // the app to tell of, the one with the most power when several qualify.
  std::optional<DrainAlert> add(double uptime, double seconds, bool onBattery, double packageJoules,
                                const std::map<std::string, AppUse>& apps);
  // A gap in the intervals (a sleep, a pause): the window starts again.
  void reset() { intervals_.clear(); }

 private:
  struct Interval {
    double end;
    double seconds;
    double packageJoules;
    std::map<std::string, AppUse> apps;
  };
  std::deque<Interval> intervals_;
  std::map<std::string, double> lastAlert_;  // by app, the uptime it was told at
};

}  // namespace wattline
