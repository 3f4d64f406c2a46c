#include "history/history_navigation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>

namespace wattline {
namespace {

constexpr std::int64_t t = 1'700'000'000;
constexpr std::int64_t week = HistoryNavigation::retention;

// A navigation that is browsing with its cursor at `cursor`, in the hour window ending at `end`.
HistoryNavigation browsing(std::int64_t end, std::int64_t cursor) {
  HistoryNavigation n(t);
  n.pan(end - t);
  n.select(cursor);
  return n;
}

// Start, end and cursor.
std::tuple<std::int64_t, std::int64_t, std::int64_t> window(const HistoryNavigation& n) {
  return {n.start(), n.end, n.selected};
}

TEST(HistoryNavigation, NewNavigationFollowsTheLastHourAndRefreshMovesOnlyAFollowingWindow) {
  HistoryNavigation n(t);
  EXPECT_EQ(window(n), std::make_tuple(t - 3599, t, t));
  EXPECT_EQ(n.center(), t - 3599 + 1799);
  EXPECT_EQ(n.oldest(), t - 604799);
  EXPECT_TRUE(n.followsLatest && n.canGoBack() && n.canZoomIn() && n.canZoomOut());
  EXPECT_FALSE(n.canGoForward());
  n.refresh(t + 10);
  EXPECT_EQ(window(n), std::make_tuple(t - 3589, t + 10, t + 10));

  HistoryNavigation b = browsing(t - 600, t - 700);
  b.refresh(t + 10);
  EXPECT_EQ(b.latest, t + 10);
  EXPECT_EQ(window(b), std::make_tuple(t - 4199, t - 600, t - 700));
  EXPECT_TRUE(b.canGoForward());
  // A browsing window that falls out of the week is pulled forward with its cursor.
  HistoryNavigation old = browsing(t - week + 3600, t - week + 1);
  old.refresh(t + 100);
  EXPECT_EQ(old.start(), old.oldest());
  EXPECT_EQ(old.selected, old.oldest());
}

TEST(HistoryNavigation, ChoosingASpanClampsAndKeepsTheMode) {
  HistoryNavigation n(t);
  n.chooseSpan(604800, t);
  EXPECT_EQ(n.start(), t - 604799);
  EXPECT_EQ(n.end, t);
  EXPECT_FALSE(n.canGoBack() || n.canZoomOut());
  EXPECT_TRUE(n.followsLatest);
  n.chooseSpan(5, t + 3);
  EXPECT_EQ(n.span, 15);
  EXPECT_EQ(n.end, t + 3);
  EXPECT_FALSE(n.canZoomIn());
  n.chooseSpan(1'000'000'000, t + 3);
  EXPECT_EQ(n.span, 604800);

  HistoryNavigation b = browsing(t - 7200, t - 9000);
  b.chooseSpan(300, t + 60);
  EXPECT_FALSE(b.followsLatest);
  EXPECT_EQ(b.latest, t + 60);
  EXPECT_EQ(b.span, 300);
  EXPECT_EQ(window(b), std::make_tuple(t - 9000 + 150 - 299, t - 9000 + 150, t - 9000));
}

TEST(HistoryNavigation, ZoomRoundsAndCentresOnTheCursor) {
  HistoryNavigation b = browsing(t - 7200, t - 8000);
  b.zoom(0.5, t);
  EXPECT_EQ(b.span, 1800);
  EXPECT_EQ(window(b), std::make_tuple(t - 8000 + 900 - 1799, t - 8000 + 900, t - 8000));
  // Near the newest second the centred window is held at `latest`.
  HistoryNavigation following(t);
  following.zoom(0.5, t);
  EXPECT_FALSE(following.followsLatest);
  EXPECT_EQ(following.span, 1800);
  EXPECT_EQ(following.end, t);

  // 22.5 goes away from zero; the span stays between 15 seconds and the week.
  for (auto [span, factor, zoomed] :
       {std::tuple{45, 0.5, 23}, {15, 0.5, 15}, {604800, 2.0, 604800}, {604800, 1e300, 604800}}) {
    HistoryNavigation n(t);
    n.chooseSpan(span, t);
    n.zoom(factor, t);
    EXPECT_EQ(n.span, zoomed) << span << " × " << factor;
  }

  const HistoryNavigation untouched(t);
  for (double factor : {0.0, -2.0, std::nan(""), double(INFINITY), -double(INFINITY)}) {
    HistoryNavigation z = untouched;
    z.zoom(factor, t + 50);
    EXPECT_EQ(z, untouched) << factor;
  }
}

TEST(HistoryNavigation, PanStopsAtTheEdgesOfTheWeek) {
  HistoryNavigation n = browsing(t - 3600, t - 4000);
  n.pan(-600);
  EXPECT_EQ(n.end, t - 4200);
  EXPECT_EQ(n.selected, t - 4600);
  n.pan(-10 * week);
  EXPECT_EQ(n.start(), n.oldest());
  EXPECT_EQ(n.selected - n.start(), t - 4600 - (t - 4200 - 3599)) << "the cursor keeps its place";
  EXPECT_FALSE(n.canGoBack());
  n.pan(10 * week);
  EXPECT_EQ(n.end, n.latest);
  EXPECT_FALSE(n.canGoForward());

  HistoryNavigation f(t);
  f.pan(0);
  EXPECT_FALSE(f.followsLatest) << "any pan leaves following";
  HistoryNavigation c(t);
  c.center(t - 20000);
  EXPECT_EQ(c.center(), t - 20000);
  EXPECT_FALSE(c.followsLatest);
}

TEST(HistoryNavigation, SelectAndSeekMoveTheCursor) {
  HistoryNavigation n(t);
  n.select(t - 100);
  EXPECT_EQ(n.selected, t - 100);
  EXPECT_FALSE(n.followsLatest);
  n.select(t - 100000);
  EXPECT_EQ(n.selected, n.start());
  n.select(t + 5);
  EXPECT_EQ(n.selected, t);

  HistoryNavigation s(t);
  s.seek(t - 1000);
  EXPECT_EQ(window(s), std::make_tuple(t - 3599, t, t - 1000)) << "inside the window only the cursor moves";
  EXPECT_FALSE(s.followsLatest);
  s.seek(t - 50000);
  EXPECT_EQ(window(s), std::make_tuple(t - 50000 + 1800 - 3599, t - 50000 + 1800, t - 50000));
  s.seek(t - 2 * week);
  EXPECT_EQ(s.selected, s.oldest());
  EXPECT_EQ(s.start(), s.oldest());
  s.seek(t + 1000);
  EXPECT_EQ(s.selected, t);
  EXPECT_EQ(s.end, t);
  s.step(-1);
  EXPECT_EQ(s.selected, t - 1);
  s.step(-3600);
  EXPECT_EQ(s.selected, t - 3601);
  EXPECT_EQ(s.end, t - 3601 + 1800);
  s.returnToLatest(t + 30);
  EXPECT_EQ(s, HistoryNavigation(t + 30));
}

TEST(HistoryNavigation, FractionsOfTheWidthAndSpanLabels) {
  HistoryNavigation n(t);
  EXPECT_EQ(n.second(0.5), n.start() + 1800) << "1799.5 goes away from zero";
  EXPECT_EQ(n.second(0.25), n.start() + 900);
  for (double start : {0.0, -1.0, std::nan(""), double(INFINITY)}) EXPECT_EQ(n.second(start), n.start());
  for (double end : {1.0, 2.0}) EXPECT_EQ(n.second(end), n.end);

  std::vector<std::string> labels;
  for (std::int64_t span : HistoryNavigation::presets) labels.push_back(HistoryNavigation::label(span));
  for (std::int64_t span : {7200, 90, 172800, 90000, 3660, 60, 15})
    labels.push_back(HistoryNavigation::label(span));
  EXPECT_EQ(labels, (std::vector<std::string>{"5 分钟", "15 分钟", "1 小时", "24 小时", "7 天", "2 小时",
                                              "90 秒", "2 天", "25 小时", "61 分钟", "1 分钟", "15 秒"}));
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

  for (int i = 0; i < 5000; ++i) {
    now += static_cast<std::int64_t>(random() % 10);
    const HistoryNavigation before = n;
    const int operation = static_cast<int>(random() % 10);
    SCOPED_TRACE(::testing::Message() << "operation " << operation << " at step " << i);
    // Refreshing, choosing a span, reading a fraction and a refused zoom keep the mode.
    bool keepsMode = operation == 0 || operation == 1 || operation == 9;
    if (operation == 0) {
      n.refresh(now);
    } else if (operation == 1) {
      n.chooseSpan(random() % 2 ? HistoryNavigation::presets[random() % 5] : anyDelta(), now);
    } else if (operation == 2) {
      const double factor = factors[random() % std::size(factors)];
      n.zoom(factor, now);
      keepsMode = !(std::isfinite(factor) && factor > 0);
      if (keepsMode) {
        ASSERT_EQ(n, before);
      }
    } else if (operation == 3) {
      n.pan(anyDelta());
    } else if (operation == 4) {
      n.center(anySecond());
    } else if (operation == 5) {
      n.select(anySecond());
    } else if (operation == 6) {
      n.seek(anySecond());
    } else if (operation == 7) {
      n.step(anyDelta());
    } else if (operation == 8) {
      n.returnToLatest(now);
    } else {
      const std::int64_t s = n.second(static_cast<double>(random() % 1001) / 1000.0);
      ASSERT_TRUE(n.start() <= s && s <= n.end);
      ASSERT_EQ(n, before);
    }
    ASSERT_EQ(n.followsLatest, keepsMode ? before.followsLatest : operation == 8);
    ASSERT_LE(n.oldest(), n.start());
    ASSERT_LE(n.end, n.latest);
    ASSERT_LE(n.start(), n.selected);
    ASSERT_LE(n.selected, n.end);
    ASSERT_TRUE(n.span >= HistoryNavigation::minimumSpan && n.span <= HistoryNavigation::retention);
    if (n.followsLatest) {
      ASSERT_EQ(n.end, n.latest) << "a following window ends at the newest second";
    }
  }
}

}  // namespace
}  // namespace wattline
