// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_navigation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <tuple>

namespace wattline {
namespace {

constexpr std::int64_t t = 1'700'000'000;
constexpr std::int64_t week = HistoryNavigation::retention;

// Start, end, cursor and mode.
using Window = std::tuple<std::int64_t, std::int64_t, std::int64_t, bool>;

TEST(HistoryNavigation, OperationsMoveTheWindowAndTheCursorAsTheirRulesSay) {
  const HistoryNavigation following(t);
  HistoryNavigation browsing(t);  // the hour that ends at t - 7200, the cursor at t - 8000
  browsing.pan(-7200);
  browsing.select(t - 8000);
  HistoryNavigation span45(t), span15(t), whole(t);
  span45.chooseSpan(45, t);
  span15.chooseSpan(15, t);
  whole.chooseSpan(week, t);
  EXPECT_FALSE(whole.canGoBack() || whole.canZoomOut() || whole.canGoForward());
  using Operation = std::function<void(HistoryNavigation&)>;
  // Expected start, end and cursor relative to t, and the mode.
  // clang-format off
  const std::tuple<const char*, HistoryNavigation, Operation, Window> cases[] = {
      {"new", following, [](auto&) {}, {-3599, 0, 0, true}},
      {"refresh", following, [](auto& n) { n.refresh(t + 10); }, {-3589, 10, 10, true}},
      {"refresh browsing", browsing, [](auto& n) { n.refresh(t + 10); }, {-10799, -7200, -8000, false}},
      {"too short", following, [](auto& n) { n.chooseSpan(5, t + 3); }, {-11, 3, 3, true}},
      {"too long", following, [](auto& n) { n.chooseSpan(1'000'000'000, t); }, {-604799, 0, 0, true}},
      {"span browsing", browsing, [](auto& n) { n.chooseSpan(300, t); }, {-8149, -7850, -8000, false}},
      {"zoom in", browsing, [](auto& n) { n.zoom(0.5, t); }, {-8899, -7100, -8000, false}},
      {"zoom in at latest", following, [](auto& n) { n.zoom(0.5, t); }, {-1799, 0, 0, false}},
      {"zoom rounds", span45, [](auto& n) { n.zoom(0.5, t); }, {-22, 0, 0, false}},
      {"zoom below 15", span15, [](auto& n) { n.zoom(0.5, t); }, {-14, 0, 0, false}},
      {"zoom past the week", whole, [](auto& n) { n.zoom(1e300, t); }, {-604799, 0, 0, false}},
      {"pan", browsing, [](auto& n) { n.pan(-600); }, {-11399, -7800, -8600, false}},
      {"pan too far back", browsing, [](auto& n) { n.pan(-10 * week); }, {-604799, -601200, -602000, false}},
      {"pan too far on", browsing, [](auto& n) { n.pan(10 * week); }, {-3599, 0, -800, false}},
      {"center", following, [](auto& n) { n.center(t - 20000); }, {-21799, -18200, -18200, false}},
      {"select", following, [](auto& n) { n.select(t - 100); }, {-3599, 0, -100, false}},
      {"select outside", following, [](auto& n) { n.select(t - 100000); }, {-3599, 0, -3599, false}},
      {"seek inside", following, [](auto& n) { n.seek(t - 1000); }, {-3599, 0, -1000, false}},
      {"seek outside", following, [](auto& n) { n.seek(t - 50000); }, {-51799, -48200, -50000, false}},
      {"seek too old", following, [](auto& n) { n.seek(t - 2 * week); }, {-604799, -601200, -604799, false}},
      {"seek the future", browsing, [](auto& n) { n.seek(t + 1000); }, {-3599, 0, 0, false}},
      {"step", following, [](auto& n) { n.step(-3600); }, {-5399, -1800, -3600, false}},
      {"latest", browsing, [](auto& n) { n.returnToLatest(t + 30); }, {-3569, 30, 30, true}},
      {"follow", following, [](auto& n) { n.follow(t - 3); }, {-3599, 0, -3, true}},
      {"follow outside", following, [](auto& n) { n.follow(t - 5000); }, {-3599, 0, 0, true}},
      {"follow browsing", browsing, [](auto& n) { n.follow(t - 7300); }, {-10799, -7200, -8000, false}},
  };
  // clang-format on
  for (const auto& [name, from, operation, expected] : cases) {
    HistoryNavigation n = from;
    operation(n);
    EXPECT_EQ(Window(n.start() - t, n.end - t, n.selected - t, n.followsLatest), expected) << name;
  }

  for (double factor : {0.0, -2.0, std::nan(""), double(INFINITY), -double(INFINITY)}) {
    HistoryNavigation zoomed = following;
    zoomed.zoom(factor, t + 50);
    EXPECT_EQ(zoomed, following) << "no change, not even the mode, for " << factor;
  }
}

TEST(HistoryNavigation, FractionsOfTheWidthAndSpanLabels) {
  const HistoryNavigation n(t);
  EXPECT_EQ(n.second(0.5), n.start() + 1800) << "1799.5 goes away from zero";
  for (double start : {0.0, -1.0, std::nan("")}) EXPECT_EQ(n.second(start), n.start());
  EXPECT_EQ(n.second(2), n.end);
  std::vector<std::string> labels;
  for (std::int64_t span : {300, 900, 3600, 86400, 604800, 7200, 90, 172800, 90000, 3660})
    labels.push_back(HistoryNavigation::label(span));
  EXPECT_EQ(labels, (std::vector<std::string>{"5 分钟", "15 分钟", "1 小时", "24 小时", "7 天", "2 小时",
                                              "90 秒", "2 天", "25 小时", "61 分钟"}));
}

// Thousands of random operations, including absurd arguments: the window always lies inside the week,
// the cursor inside the window, and each operation leaves the mode its rules say.
TEST(HistoryNavigation, InvariantsHoldAfterEveryOperation) {
  std::mt19937_64 random(4004);
  std::int64_t now = t;
  HistoryNavigation n(now);
  auto anyDelta = [&] {
    const std::uint64_t pick = random() % 8;
    if (pick == 0) return std::numeric_limits<std::int64_t>::max();
    if (pick == 1) return std::numeric_limits<std::int64_t>::min();
    const std::int64_t magnitude = pick < 4 ? static_cast<std::int64_t>(random() >> 1)
                                            : static_cast<std::int64_t>(random() % (2 * week));
    return random() % 2 ? magnitude : -magnitude;
  };
  auto anySecond = [&] {
    const std::int64_t choices[] = {now - static_cast<std::int64_t>(random() % (2 * week)),
                                    now + static_cast<std::int64_t>(random() % 1000), anyDelta(),
                                    n.start() + static_cast<std::int64_t>(random() % n.span)};
    return choices[random() % 4];
  };
  const double factors[] = {0.5, 2, 0.1, 10, 1, 0, -1, std::nan(""), INFINITY, 1e-9, 0.75};
  double factor = 1;
  const std::function<void()> operations[] = {
      [&] { n.refresh(now); },
      [&] { n.chooseSpan(random() % 2 ? HistoryNavigation::presets[random() % 5] : anyDelta(), now); },
      [&] { n.zoom(factor = factors[random() % std::size(factors)], now); },
      [&] { n.pan(anyDelta()); },
      [&] { n.center(anySecond()); },
      [&] { n.select(anySecond()); },
      [&] { n.seek(anySecond()); },
      [&] { n.step(anyDelta()); },
      [&] { n.returnToLatest(now); },
      [&] {
        const std::int64_t s = n.second(static_cast<double>(random() % 1001) / 1000.0);
        ASSERT_TRUE(n.start() <= s && s <= n.end);
      }};

  for (int i = 0; i < 5000; ++i) {
    now += static_cast<std::int64_t>(random() % 10);
    const HistoryNavigation before = n;
    const int operation = static_cast<int>(random() % 10);
    SCOPED_TRACE(::testing::Message() << "operation " << operation << " at step " << i);
    operations[operation]();
    // Refreshing, choosing a span, reading a fraction and a refused zoom keep the mode.
    const bool keepsMode = operation == 0 || operation == 1 || operation == 9 ||
                           (operation == 2 && !(std::isfinite(factor) && factor > 0));
    ASSERT_EQ(n.followsLatest, keepsMode ? before.followsLatest : operation == 8);
    ASSERT_TRUE(n.oldest() <= n.start() && n.start() <= n.selected && n.selected <= n.end &&
                n.end <= n.latest);
    ASSERT_TRUE(n.span >= HistoryNavigation::minimumSpan && n.span <= HistoryNavigation::retention);
    if (n.followsLatest) {
      ASSERT_EQ(n.end, n.latest) << "a following window ends at the newest second";
    }
  }
}

}  // namespace
}  // namespace wattline
