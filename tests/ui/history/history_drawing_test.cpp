// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "history_ui_support.h"
#include "ui/history/history_drawing.h"

namespace wattline {
namespace {

using namespace wattline::testing;
using Scene = HistoryScene;

// Seconds 1000 … 1120 on a plot 120 wide, so that x = second − 990; values 0 … 5 W from y 120 up to 20.
const Rect kPlot{10, 20, 120, 100};
constexpr std::int64_t kStart = 1000, kEnd = 1120;

HistorySummary summaryOf(std::vector<HistoryBucket> buckets, std::int64_t width = 10) {
  HistorySummary summary;
  summary.buckets = std::move(buckets);
  summary.lower = kStart;
  summary.upper = kStart + 119;
  summary.bucketWidth = width;
  summary.peak = 4;
  for (const auto& b : summary.buckets) summary.valid += b.valid;
  return summary;
}

std::vector<double> xs(const Scene::Curve& curve) {
  std::vector<double> result;
  for (const auto& point : curve.points) result.push_back(point.x);
  return result;
}

TEST(HistoryDrawing, ValueAxisHasHeadroomInStepsOfFive) {
  for (auto [peak, yMax] : std::vector<std::pair<double, double>>{{0, 5}, {4.46, 5}, {4.47, 10}})
    EXPECT_EQ(HistoryDrawing::yMax(peak), yMax) << peak;
}

TEST(HistoryDrawing, AnEmptySummaryIsOneFaintWashUnderTheGrid) {
  const Scene scene = HistoryDrawing::scene(HistorySummary{}, kPlot, kStart, kEnd, true);
  EXPECT_TRUE(scene.ranges.empty() && scene.curves.empty() && scene.dots.empty());
  ASSERT_EQ(scene.washes.size(), 1u);
  const auto& wash = scene.washes[0];
  EXPECT_EQ(std::tie(wash.x0, wash.x1), std::make_tuple(10.0, 130.0));
  EXPECT_EQ(wash.color, SystemColors::orange.opacity(0.025));
  std::vector<std::string> labels;
  std::vector<double> ys;
  for (const auto& line : scene.grid) labels.push_back(line.label), ys.push_back(line.y);
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "1", "2", "4", "5"}));
  EXPECT_EQ(ys, (std::vector<double>{120, 95, 70, 45, 20}));
  EXPECT_TRUE(HistoryDrawing::scene(HistorySummary{}, kPlot, kStart, kEnd, false).grid.empty());
}

TEST(HistoryDrawing, AMissingBucketSplitsTheCurveAndIsWashed) {
  // Bucket 1050 absent from the list, or listed without any valid second: the same picture.
  for (bool listed : {false, true}) {
    std::vector<HistoryBucket> buckets;
    for (std::int64_t s = kStart; s < kStart + 120; s += 10)
      if (s != 1050 || listed) buckets.push_back(bucket(s, s == 1050 ? 0 : 10));
    const Scene scene = HistoryDrawing::scene(summaryOf(buckets), kPlot, kStart, kEnd, true);

    const auto& washes = scene.washes;
    ASSERT_EQ(washes.size(), 1u) << listed;
    EXPECT_EQ(std::tie(washes[0].x0, washes[0].x1), std::make_tuple(60.0, 70.0));
    EXPECT_EQ(washes[0].color, SystemColors::orange.opacity(0.035));
    const auto& curves = scene.curves;
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(xs(curves[0]), (std::vector<double>{10, 20, 30, 40, 50}));
    EXPECT_EQ(xs(curves[1]), (std::vector<double>{70, 80, 90, 100, 110, 120}));
    EXPECT_EQ(curves[0].points[0].y, 60) << "3 W on a 5 W axis";
    EXPECT_EQ(scene.dots.size(), 11u);
    const auto& ranges = scene.ranges;
    EXPECT_EQ(std::tie(ranges[0].top, ranges[0].bottom), std::make_tuple(40.0, 80.0));
  }
  // Seconds a tenth of a point wide: each missing one is still washed a whole point wide.
  const Scene narrow =
      HistoryDrawing::scene(summaryOf({bucket(kStart, 1, 1)}, 1), Rect{10, 20, 12, 100}, kStart, kEnd, true);
  ASSERT_EQ(narrow.washes.size(), 119u);
  EXPECT_DOUBLE_EQ(narrow.washes[0].x1 - narrow.washes[0].x0, 1);
}

TEST(HistoryDrawing, IncompleteBucketsBreakTheCurveAndShowOrange) {
  const auto blue = SystemColors::accent, orange = SystemColors::orange;
  struct Case {
    std::vector<std::int64_t> valid;  // per bucket from 1000, ten seconds each
    std::vector<std::vector<double>> curves;
    std::vector<StyleColor> dots;
  };
  for (const Case& c : std::vector<Case>{
           // One complete bucket between two partial ones: a blue dot, no line.
           {{5, 10, 3}, {}, {orange, blue, orange}},
           // A partial bucket inside a complete run breaks it in two.
           {{10, 10, 4, 10, 10}, {{10, 20}, {40, 50}}, {blue, blue, orange, blue, blue}},
       }) {
    std::vector<HistoryBucket> buckets;
    for (std::size_t i = 0; i < c.valid.size(); ++i)
      buckets.push_back(bucket(kStart + 10 * static_cast<std::int64_t>(i), c.valid[i]));
    HistorySummary summary = summaryOf(buckets);
    summary.upper = kStart + 10 * static_cast<std::int64_t>(c.valid.size()) - 1;
    const Scene scene = HistoryDrawing::scene(summary, kPlot, kStart, kEnd, false);

    std::vector<std::vector<double>> curves;
    for (const auto& curve : scene.curves) {
      curves.push_back(xs(curve));
      EXPECT_FALSE(curve.fill) << "the compact style has no area";
    }
    EXPECT_EQ(curves, c.curves);
    std::vector<StyleColor> dots, ranges;
    for (const auto& dot : scene.dots) dots.push_back(dot.color);
    for (const auto& range : scene.ranges) ranges.push_back(range.color);
    EXPECT_EQ(dots, c.dots);
    for (auto& dot : dots) dot = dot.opacity(0.3);
    EXPECT_EQ(ranges, dots);
    for (const auto& wash : scene.washes)
      EXPECT_EQ(wash.color, orange.opacity(0.06)) << "partly recorded buckets";
    EXPECT_EQ(scene.washes.size(), static_cast<std::size_t>(std::count_if(c.valid.begin(), c.valid.end(),
                                                                          [](auto v) { return v < 10; })));
  }
}

TEST(HistoryDrawing, ThePainterFollowsTheScene) {
  testApplication();
  std::vector<HistoryBucket> buckets;
  for (std::int64_t s = kStart; s < kStart + 120; s += 10)
    if (s != 1050) buckets.push_back(bucket(s, 10));
  QImage image(140, 140, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  HistoryDrawing::draw(painter, summaryOf(buckets), kPlot, kStart, kEnd, true);
  painter.end();
  auto isOrangeWash = [](QColor c) { return c.red() == 255 && c.blue() < 250 && c.green() > c.blue(); };
  auto isBlue = [](QColor c) { return c.blue() > 200 && c.red() < 120; };
  EXPECT_TRUE(isOrangeWash(image.pixelColor(65, 30))) << "the gap";
  EXPECT_FALSE(isOrangeWash(image.pixelColor(35, 30)));
  EXPECT_TRUE(isBlue(image.pixelColor(35, 60))) << "the curve at 3 W";
  EXPECT_FALSE(isBlue(image.pixelColor(65, 60))) << "no line over the gap";
  EXPECT_NE(image.pixelColor(35, 100), QColor(Qt::white)) << "the area under the curve";
}

}  // namespace
}  // namespace wattline
