// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"
#include "platform/geometry.h"
#include "ui/style/colors.h"

class QPainter;

namespace wattline {

// What one call of the history drawing puts on a plot, as plain values, in the layers it is painted in:
// grid, washes, ranges, curves, dots.
struct HistoryScene {
  // A dashed horizontal value line with its label, trailing edge `labelGap` left of the plot at y.
  struct GridLine {
    double y = 0;
    std::string label;
  };
  // A shaded column over the plot's full height: a missing or partly recorded bucket.
  struct Wash {
    double x0 = 0;
    double x1 = 0;
    StyleColor color;
  };
  // A bucket's minimum-to-maximum range, one point wide.
  struct RangeLine {
    double x = 0;
    double top = 0;
    double bottom = 0;
    StyleColor color;
  };
  // An unbroken run of complete buckets' averages; with a fill, the area down to the plot's bottom.
  struct Curve {
    std::vector<Point> points;
    StyleColor color;
    double width = 0;
    std::optional<StyleColor> fill;
  };
  // A bucket's average.
  struct Dot {
    Point centre;
    StyleColor color;
  };

  Rect plot;
  double yMax = 5;
  std::vector<GridLine> grid;  // empty for the compact style
  std::vector<Wash> washes;
  std::vector<RangeLine> ranges;
  std::vector<Curve> curves;
  std::vector<Dot> dots;
};

// The one routine both history canvases draw a summary with: every bucket shows its range, only complete
// buckets take part in the average curve, the curve never bridges a gap, and missing or partly recorded
// buckets are washed in light orange.
namespace HistoryDrawing {

inline constexpr double gridDash[] = {3, 4};
inline constexpr double labelGap = 10;   // between a grid label's trailing edge and the plot
inline constexpr double unitRaise = 13;  // the unit label sits this far above the plot
inline constexpr double dotDiameter = 2.4;

// The value axis' maximum: 12 % headroom over the peak, a multiple of 5, at least 5 W.
double yMax(double peak);

// Seconds `start` … `end` (inclusive) of `summary` on `plot`; `axes` selects the chart style (grid,
// labels, filled curve), otherwise the compact overview style.
HistoryScene scene(const HistorySummary& summary, const Rect& plot, std::int64_t start, std::int64_t end,
                   bool axes);

// Paints a scene, each layer in as few fills as its colours allow.
void paint(QPainter& painter, const HistoryScene& scene);

inline void draw(QPainter& painter, const HistorySummary& summary, const Rect& plot, std::int64_t start,
                 std::int64_t end, bool axes) {
  paint(painter, scene(summary, plot, start, end, axes));
}

}  // namespace HistoryDrawing

}  // namespace wattline
