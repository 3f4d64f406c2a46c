// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>

#include "power/power_history.h"
#include "power/refresh_policy.h"

using namespace wattline;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);
Date ago(double seconds) {
  return kNow - std::chrono::microseconds(static_cast<long>(seconds * 1e6));
}

}  // namespace

TEST(RefreshPolicy, ValidityRestoreAndParse) {
  for (double good : {0.5, 300.0}) EXPECT_TRUE(RefreshPolicy::isValid(good)) << good;
  for (double bad : {0.49, 300.01, double(NAN)}) EXPECT_FALSE(RefreshPolicy::isValid(bad));
  for (std::optional<double> bad : {std::optional<double>(), {0.1}})
    EXPECT_EQ(RefreshPolicy::restored(bad), 1.0);
  EXPECT_EQ(RefreshPolicy::restored(30), 30.0);
  for (auto [text, value] : std::vector<std::pair<const char*, double>>{
           {" \t1,5\n", 1.5}, {"\u3000\u00a02\u2003\u3000", 2.0}, {"+5", 5.0}})
    EXPECT_EQ(RefreshPolicy::parse(text), value) << text;
  for (const char* bad : {"abc", "600", "\u3000", "1\u00a05", "1.5s"})
    EXPECT_EQ(RefreshPolicy::parse(bad), std::nullopt) << bad;
}

TEST(PowerHistory, RecentMinuteAndUpperBound) {
  std::vector<PowerSample> samples{{ago(60.001), 1.0}, {ago(60), 2.0}, {ago(0), 3.0}, {ago(-0.5), 4.0}};
  auto kept = PowerHistory::recent(samples, kNow);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(std::make_tuple(kept[0].watts, kept[1].watts), std::make_tuple(2.0, 3.0));
  auto bound = [](std::vector<std::optional<double>> watts) {
    std::vector<PowerSample> series;
    for (auto w : watts) series.push_back({kNow, w});
    return PowerHistory::upperBound(series);
  };
  EXPECT_EQ(
      (std::vector{bound({45.5}), bound({0.0}), bound({std::nullopt, -3.0}), bound({3.0, 90.0, NAN, 20.0})}),
      (std::vector<double>{55, 5, 5, 100}));
}

TEST(PowerHistory, AppendingUsesTheReadingsOwnTime) {
  PowerSnapshot s;
  std::tie(s.timestamp, s.systemWatts, s.systemUpdatedAt) = std::make_tuple(kNow, 12.0, ago(2));
  auto trend = PowerHistory::appending({}, s, false, kNow);
  ASSERT_EQ(trend.size(), 1u);
  EXPECT_EQ(trend[0].timestamp, ago(2));
  // The same cached reading again adds nothing.
  s.timestamp = kNow + std::chrono::seconds(1);
  trend = PowerHistory::appending(trend, s, false, kNow + std::chrono::seconds(1));
  EXPECT_EQ(trend.size(), 1u);
  // A reading without a time adds nothing; one older than a minute or from the future neither.
  for (std::optional<Date> at : {std::optional<Date>(), std::optional(ago(61)), std::optional(ago(-1))}) {
    s.systemUpdatedAt = at;
    EXPECT_EQ(PowerHistory::appending({}, s, false, kNow).size(), 0u);
  }
  // Without a system reading the snapshot's own time marks a gap point.
  s.systemWatts.reset();
  s.timestamp = ago(1);
  trend = PowerHistory::appending({}, s, false, kNow);
  ASSERT_EQ(trend.size(), 1u);
  EXPECT_FALSE(trend[0].watts);
  // Demo snapshots use their timestamp, so each one adds a point.
  PowerSnapshot demo = PowerSnapshot::demo(0, ago(1));
  trend = PowerHistory::appending({}, demo, true, kNow);
  demo.timestamp = kNow;
  trend = PowerHistory::appending(trend, demo, true, kNow);
  EXPECT_EQ(trend.size(), 2u);
  // Old points fall out as time goes on.
  trend = PowerHistory::appending(trend, demo, true, kNow + std::chrono::seconds(61));
  EXPECT_EQ(trend.size(), 0u);
}
