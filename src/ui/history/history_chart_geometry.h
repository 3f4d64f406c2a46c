// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "history/history_navigation.h"
#include "history/history_time.h"
#include "ui/history/history_drawing.h"

namespace wattline {

// Where the power chart puts its plot, time labels, cursor and marker, as plain values.
namespace HistoryChartGeometry {

inline constexpr double leftMargin = 42, topMargin = 18, rightMargin = 14, bottomMargin = 31;
inline constexpr double timeLabelDrop = 18;
inline constexpr double cursorDash[] = {4, 3};
inline constexpr double markerDiameter = 8, haloDiameter = 10, haloWidth = 2;

// The plot inside a canvas of `width` x `height`.
Rect plot(double width, double height);

enum class Anchor { leading, centre, trailing };
struct TimeLabel {
  std::int64_t second = 0;
  std::string text;
  double x = 0;
  double y = 0;
  Anchor anchor = Anchor::centre;
};
// Five labels from the window's first to its last second under the plot.
std::array<TimeLabel, 5> timeLabels(const HistoryNavigation& navigation, const Rect& plot,
                                    const HistoryTimeZone& zone = HistoryTimeZone::current());

double cursorX(const HistoryNavigation& navigation, const Rect& plot);

// The marker's centre on the cursor: only once a summary with data has loaded and the selected
// second has a power value.
std::optional<Point> marker(const HistoryNavigation& navigation, const Rect& plot, bool loading,
                            const HistorySummary& summary, std::optional<double> selectedWatts);

// The fraction of the window under a pointer at `x`, unclamped.
double fraction(const Rect& plot, double x);

}  // namespace HistoryChartGeometry

// The seven-day strip: its plot, the visible window on it, where a drag points and the slider's range.
namespace HistoryOverviewGeometry {

inline constexpr double stripHeight = 24;
inline constexpr double minimumWindowWidth = 3;
inline constexpr double windowRadius = 4;
inline constexpr double spacerHeight = 16;

Rect plot(double width, double height);
// The visible window as a rectangle over the strip's full height, never narrower than 3 points.
Rect window(double width, double height, const HistoryNavigation& navigation, std::int64_t overviewStart);
// The second a drag at `x` centres the window on.
std::int64_t dragTarget(double x, double width, std::int64_t overviewStart);
// The slider shows the window's centre between the centres of the oldest and newest possible windows;
// absent at the whole week, where the window cannot move.
struct SliderRange {
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
};
std::optional<SliderRange> sliderRange(const HistoryNavigation& navigation);

}  // namespace HistoryOverviewGeometry

}  // namespace wattline
