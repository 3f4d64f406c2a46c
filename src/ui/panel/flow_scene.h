// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/date.h"
#include "base/power_snapshot.h"
#include "platform/geometry.h"
#include "ui/style/colors.h"

namespace wattline {

// The supply diagram as plain values: what to draw for one snapshot, two
// flags and a time, in the 396 x 184 design space (origin top left, y down).
namespace FlowScene {

inline constexpr Size designSize{396, 184};
// The three nodes: the power source on the left, the mainboard upper right, the battery lower right.
// The lanes run from their edges to the junction; the diagram draws the nodes in these frames.
inline constexpr Rect adapterFrame{8, 42, 114, 104};
inline constexpr Rect mainboardFrame{220, 4, 168, 76};
inline constexpr Rect batteryFrame{220, 104, 168, 76};
// The battery's terminal, reaching 7 points out of its card's left edge; the battery lane ends at it.
inline constexpr Rect batteryTerminal{batteryFrame.x - 7, batteryFrame.y + batteryFrame.height / 2 - 9, 8,
                                      18};
inline constexpr Point junction{170, adapterFrame.y + adapterFrame.height / 2};

// Sum of the segment lengths; 0 for fewer than two points.
double length(const std::vector<Point>& polyline);
// The point `fraction` (clamped to 0...1) of the way along the polyline; (0, 0) for none.
Point point(double fraction, const std::vector<Point>& polyline);
std::vector<Point> points(std::initializer_list<std::pair<double, double>> pairs);

// Seconds since 2001-01-01 00:00:00 UTC, the animation's epoch.
double referenceSeconds(Date date);
// The animation time: 0 with reduced motion, else the preview time or the clock's.
double animationTime(bool reduceMotion, std::optional<double> previewTime, Date now);

// A charge level as "76%", or "—" without one.
std::string percentText(std::optional<double> percent);

// Points per second of the moving dots: 24 at no power, 84 from 100 W on.
double dotSpeed(double watts);

struct Stroke {
  StyleColor color;
  double width = 0;
  bool dashed = false;  // 3 on, 5 off
  bool operator==(const Stroke&) const = default;
};

struct Dot {
  Point centre;
  double radius = 0;
  StyleColor color;
};

struct Lane {
  std::vector<Point> polyline;
  bool flowing = false;
  Stroke under;
  Stroke main;
  // Trail dots, farthest first, each dot's head last.
  std::vector<Dot> dots;
  // Two chevrons of three points (arm, tip, arm) in `color`, only while flowing.
  std::vector<std::array<Point, 3>> chevrons;
  StyleColor color;
  // Dots repeat every 1 / rate seconds.
  double rate = 0;
};

// The animated layer.
struct FlowLayer {
  std::vector<Lane> lanes;
  Point junction = FlowScene::junction;
  double junctionRadius = 4;
  StyleColor junctionColor;
};

FlowLayer flowLayer(const PowerSnapshot& snapshot, bool reduceMotion, double time);

// The rectangle the moving parts (dots, chevrons, the junction) can be drawn in at any time, so that
// an animation frame repaints only it: one rectangle, as each more costs more than its pixels save.
Rect movingBounds(const FlowLayer& layer);

// Everything that changes only with the snapshot: the hardware layer and the
// three nodes' texts and colours.
struct Nodes {
  double adapterFillOpacity = 0;
  double adapterStrokeOpacity = 0;

  StyleColor sourceColor;  // title symbol and value
  std::string sourceValue;
  std::string sourceDetail;
  bool sourceEstimated = false;  // "功率推算"

  std::string systemValue;
  bool systemEstimated = false;  // "估算"

  StyleColor batteryColor;
  double levelWidth = 0;
  double levelOpacity = 0;
  std::string percentText;
  std::string arrowSymbol;
  std::string stateWord;
  std::string batteryValue;
  std::string batteryDetail;
  bool operator==(const Nodes&) const = default;
};

Nodes nodes(const PowerSnapshot& snapshot);

std::string accessibilityLabel(const PowerSnapshot& snapshot);

}  // namespace FlowScene

}  // namespace wattline
