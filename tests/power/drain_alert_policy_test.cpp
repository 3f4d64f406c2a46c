// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/drain_alert_policy.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

struct Step {
  double seconds;  // the interval, ending `seconds` after the previous one
  bool onBattery;
  double appWatts;
  double packageWatts;
  double gapBefore = 0;  // seconds nothing was measured, such as a sleep
};

// The alerts over a run of intervals: for each one told, the index of its interval.
std::vector<int> alerts(const std::vector<Step>& steps) {
  DrainAlertPolicy policy;
  std::vector<int> told;
  double uptime = 1000;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    uptime += step.gapBefore + step.seconds;
    const auto alert = policy.add(
        uptime, step.seconds, step.onBattery, step.packageWatts * step.seconds,
        {{"desktop:a", {"A", step.appWatts * step.seconds}}, {"desktop:b", {"B", 0.5 * step.seconds}}});
    if (alert) {
      EXPECT_EQ(std::make_tuple(alert->app, alert->name), std::make_tuple("desktop:a", "A"));
      told.push_back(static_cast<int>(i));
    }
  }
  return told;
}

std::vector<Step> repeat(int count, Step step) {
  return std::vector<Step>(static_cast<std::size_t>(count), step);
}

TEST(DrainAlertPolicy, FiveMinutesOnBatteryAtThreeWattsAndAQuarterOncePerHour) {
  EXPECT_EQ(alerts(repeat(29, {10, true, 3, 12})), std::vector<int>{});    // not yet five minutes
  EXPECT_EQ(alerts(repeat(30, {10, true, 3, 12})), std::vector<int>{29});  // 3 W, a quarter exactly
  EXPECT_EQ(alerts(repeat(40, {10, true, 2.9, 6})), std::vector<int>{});   // under 3 W
  EXPECT_EQ(alerts(repeat(40, {10, true, 3.5, 15})), std::vector<int>{});  // under a quarter
  EXPECT_EQ(alerts(repeat(40, {10, false, 8, 10})), std::vector<int>{});   // on the adapter
  // Once per hour: the next alert comes an hour after the first.
  EXPECT_EQ(alerts(repeat(400, {10, true, 8, 10})), (std::vector<int>{29, 389}));
  // A minute on the adapter, or a gap, starts the five minutes again.
  std::vector<Step> broken = repeat(20, {10, true, 8, 10});
  broken.push_back({10, false, 8, 10});
  for (const Step& step : repeat(30, {10, true, 8, 10})) broken.push_back(step);
  EXPECT_EQ(alerts(broken), std::vector<int>{50});
  broken[20] = {10, true, 8, 10, 50};  // on battery after a gap: the window starts at it
  EXPECT_EQ(alerts(broken), std::vector<int>{49});
}

}  // namespace
}  // namespace wattline
