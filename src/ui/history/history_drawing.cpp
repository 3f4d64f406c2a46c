// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_drawing.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "ui/history/history_texts.h"

namespace wattline::HistoryDrawing {

namespace {

constexpr double kEmptyWash = 0.025;
constexpr double kMissingWash = 0.035;
constexpr double kPartialWash = 0.06;
constexpr double kRangeOpacity = 0.3;
constexpr double kAreaOpacity = 0.07;

// Seconds and watts to plot coordinates.
struct Mapping {
  const Rect& plot;
  std::int64_t start;
  std::int64_t end;
  double yMax;
  double x(std::int64_t second) const {
    return plot.minX() + static_cast<double>(second - start) /
                             static_cast<double>(std::max<std::int64_t>(end - start, 1)) * plot.width;
  }
  double y(double watts) const { return plot.maxY() - watts / yMax * plot.height; }
};

void addWashes(HistoryScene& scene, const HistorySummary& summary, const Mapping& map,
               const std::unordered_map<std::int64_t, const HistoryBucket*>& bySecond) {
  const std::int64_t width = summary.bucketWidth;
  const std::int64_t origin = summary.lower > 0 ? summary.lower : map.start;
  if (width < 1 || summary.upper < origin) return;
  const std::int64_t last = std::min(summary.upper, map.end);
  for (std::int64_t s = origin; s <= last; s += width) {
    auto found = bySecond.find(s);
    const HistoryBucket* bucket = found == bySecond.end() ? nullptr : found->second;
    if (bucket && bucket->complete()) continue;
    const double x0 = std::max(map.x(s), scene.plot.minX());
    const double x1 = std::min(map.x(std::min(s + width, map.end)), scene.plot.maxX());
    const double opacity = bucket && bucket->valid > 0 ? kPartialWash : kMissingWash;
    scene.washes.push_back({x0, std::max(x1, x0 + 1), SystemColors::orange.opacity(opacity)});
  }
}

}  // namespace

double yMax(double peak) {
  return std::max(std::ceil(peak * 1.12 / 5) * 5, 5.0);
}

HistoryScene scene(const HistorySummary& summary, const Rect& plot, std::int64_t start, std::int64_t end,
                   bool axes) {
  HistoryScene scene;
  scene.plot = plot;
  scene.yMax = yMax(summary.peak);
  const Mapping map{plot, start, end, scene.yMax};

  if (axes)
    for (int i = 0; i <= 4; ++i) {
      const double value = i * scene.yMax * 0.25;
      scene.grid.push_back({map.y(value), HistoryTexts::formatted("%.0f", value)});
    }

  if (summary.buckets.empty()) {
    scene.washes.push_back({plot.minX(), plot.maxX(), SystemColors::orange.opacity(kEmptyWash)});
    return scene;
  }

  // On a repeated second the later bucket wins.
  std::unordered_map<std::int64_t, const HistoryBucket*> bySecond;
  bySecond.reserve(summary.buckets.size());
  for (const HistoryBucket& bucket : summary.buckets) bySecond[bucket.second] = &bucket;
  addWashes(scene, summary, map, bySecond);

  HistoryScene::Curve segment{{}, SystemColors::accent, axes ? 1.7 : 1.1, std::nullopt};
  if (axes) segment.fill = SystemColors::accent.opacity(kAreaOpacity);
  std::int64_t previousComplete = 0;
  auto flush = [&] {
    if (segment.points.size() >= 2) scene.curves.push_back(segment);
    segment.points.clear();
  };
  for (const HistoryBucket& bucket : summary.buckets) {
    if (bucket.second < start || bucket.second > end) continue;
    if (!bucket.minimum || !bucket.maximum || !bucket.average) {
      flush();
      continue;
    }
    const bool complete = bucket.complete();
    const StyleColor color = complete ? SystemColors::accent : SystemColors::orange;
    const double x = map.x(bucket.second);
    scene.ranges.push_back({x, map.y(*bucket.maximum), map.y(*bucket.minimum), color.opacity(kRangeOpacity)});
    const Point centre{x, map.y(*bucket.average)};
    if (!complete) {
      flush();
    } else {
      // A missing bucket in between breaks the curve.
      if (!segment.points.empty() && bucket.second - previousComplete != summary.bucketWidth) flush();
      segment.points.push_back(centre);
      previousComplete = bucket.second;
    }
    scene.dots.push_back({centre, color});
  }
  flush();
  return scene;
}

}  // namespace wattline::HistoryDrawing
