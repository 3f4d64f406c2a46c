// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_chart_geometry.h"

#include <algorithm>
#include <cmath>

#include "ui/history/history_texts.h"

namespace wattline {

namespace HistoryChartGeometry {

Rect plot(double width, double height) {
  return {leftMargin, topMargin, std::max(width - leftMargin - rightMargin, 1.0),
          std::max(height - topMargin - bottomMargin, 1.0)};
}

std::array<TimeLabel, 5> timeLabels(const HistoryNavigation& navigation, const Rect& plot,
                                    const HistoryTimeZone& zone) {
  const char* pattern = HistoryTexts::chartTimePattern(navigation.span);
  std::array<TimeLabel, 5> labels;
  for (int i = 0; i < 5; ++i) {
    TimeLabel& label = labels[static_cast<std::size_t>(i)];
    label.second = navigation.start() + (i * (navigation.span - 1)) / 4;
    label.text = HistoryTexts::localTime(label.second, pattern, zone);
    label.x = plot.minX() + i * 0.25 * plot.width;
    label.y = plot.maxY() + timeLabelDrop;
    label.anchor = i == 0 ? Anchor::leading : i == 4 ? Anchor::trailing : Anchor::centre;
  }
  return labels;
}

double cursorX(const HistoryNavigation& navigation, const Rect& plot) {
  return plot.minX() + static_cast<double>(navigation.selected - navigation.start()) /
                           static_cast<double>(std::max<std::int64_t>(navigation.span - 1, 1)) * plot.width;
}

std::optional<Point> marker(const HistoryNavigation& navigation, const Rect& plot, bool loading,
                            const HistorySummary& summary, std::optional<double> selectedWatts) {
  if (loading || summary.valid < 1 || !selectedWatts) return std::nullopt;
  const double top = HistoryDrawing::yMax(summary.peak);
  return Point{cursorX(navigation, plot), plot.maxY() - std::min(*selectedWatts, top) / top * plot.height};
}

double fraction(const Rect& plot, double x) {
  return (x - plot.minX()) / plot.width;
}

}  // namespace HistoryChartGeometry

namespace HistoryOverviewGeometry {

Rect plot(double width, double height) {
  return {1, 2, width - 2, height - 4};
}

Rect window(double width, double height, const HistoryNavigation& navigation, std::int64_t overviewStart) {
  constexpr double last = kHistoryRetention - 1;
  const double x0 = std::max(width * static_cast<double>(navigation.start() - overviewStart) / last, 0.0);
  const double x1 = std::min(width * static_cast<double>(navigation.end - overviewStart) / last, width);
  return {x0, 0, std::max(x1 - x0, minimumWindowWidth), height};
}

std::int64_t dragTarget(double x, double width, std::int64_t overviewStart) {
  double f = width < 1 ? x : x / width;
  f = std::isnan(f) ? 0 : std::clamp(f, 0.0, 1.0);
  return overviewStart + static_cast<std::int64_t>(std::round(f * (kHistoryRetention - 1)));
}

std::optional<SliderRange> sliderRange(const HistoryNavigation& navigation) {
  if (navigation.span >= kHistoryRetention) return std::nullopt;
  return SliderRange{navigation.oldest() + (navigation.span - 1) / 2,
                     navigation.latest - navigation.span / 2};
}

}  // namespace HistoryOverviewGeometry

}  // namespace wattline
