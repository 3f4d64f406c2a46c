// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace wattline::FlowScene {

namespace {

// 2001-01-01 00:00:00 UTC in Unix seconds.
constexpr double kReferenceEpoch = 978307200;

// Each trail dot lags the one before it by 1.2 % of the line.
constexpr double kTrailStep = 0.012;

Lane drawFlow(std::vector<Point> polyline, std::optional<double> power, bool active, StyleColor color,
              double time, bool reduceMotion) {
  Lane lane;
  lane.polyline = std::move(polyline);
  lane.color = color;
  lane.flowing = active && power && *power > 0.1;
  if (!lane.flowing) {
    lane.under = {FlowStyle::line.opacity(0.15), 3, false};
    lane.main = {FlowStyle::line, 3, true};
    return lane;
  }
  lane.under = {color.opacity(0.06), 11, false};
  lane.main = {color.opacity(0.35), 3, false};

  const double total = length(lane.polyline);
  const int count = std::max(static_cast<int>(std::floor(total / 26)), 2);
  const double speed = dotSpeed(*power);
  lane.rate = total >= 1 ? speed / total : speed;
  if (!reduceMotion) {
    const double phase = time * lane.rate;
    for (int i = 0; i < count; ++i) {
      const double f = std::fmod(phase + static_cast<double>(i) / count, 1.0);
      for (int j = 4; j >= 0; --j)
        lane.dots.push_back({point(std::max(f - kTrailStep * j, 0.0), lane.polyline), j == 0 ? 3.0 : 2.0,
                             color.opacity(1 - 0.19 * j)});
    }
  }
  for (auto [tipAt, referenceAt] : {std::pair{0.35, 0.325}, std::pair{0.77, 0.745}}) {
    const Point tip = point(tipAt, lane.polyline), reference = point(referenceAt, lane.polyline);
    const double angle = std::atan2(tip.y - reference.y, tip.x - reference.x);
    const double spread = std::numbers::pi / 5;
    lane.chevrons.push_back(
        {Point{tip.x - 7 * std::cos(angle - spread), tip.y - 7 * std::sin(angle - spread)}, tip,
         Point{tip.x - 7 * std::cos(angle + spread), tip.y - 7 * std::sin(angle + spread)}});
  }
  return lane;
}

std::optional<double> magnitude(std::optional<double> value) {
  if (!value) return std::nullopt;
  return std::fabs(*value);
}

bool batteryActive(BatteryFlow flow) {
  return flow == BatteryFlow::charging || flow == BatteryFlow::discharging;
}

}  // namespace

double length(const std::vector<Point>& polyline) {
  double total = 0;
  for (std::size_t i = 1; i < polyline.size(); ++i)
    total += std::hypot(polyline[i].x - polyline[i - 1].x, polyline[i].y - polyline[i - 1].y);
  return total;
}

Point point(double fraction, const std::vector<Point>& polyline) {
  if (polyline.empty()) return {};
  double distance = std::clamp(fraction, 0.0, 1.0) * length(polyline);
  for (std::size_t i = 1; i < polyline.size(); ++i) {
    const Point start = polyline[i - 1], end = polyline[i];
    const double segment = std::hypot(end.x - start.x, end.y - start.y);
    if (distance <= segment) {
      const double share = distance / std::max(segment, 0.001);
      return {start.x + (end.x - start.x) * share, start.y + (end.y - start.y) * share};
    }
    distance -= segment;
  }
  return polyline.back();
}

std::vector<Point> points(std::initializer_list<std::pair<double, double>> pairs) {
  std::vector<Point> result;
  for (auto [x, y] : pairs) result.push_back({x, y});
  return result;
}

double referenceSeconds(Date date) {
  return secondsSince1970(date) - kReferenceEpoch;
}

double animationTime(bool reduceMotion, std::optional<double> previewTime, Date now) {
  if (reduceMotion) return 0;
  return previewTime ? *previewTime : referenceSeconds(now);
}

std::string percentText(std::optional<double> percent) {
  if (!percent) return "—";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.0f%%", *percent);
  return buffer;
}

double dotSpeed(double watts) {
  return std::min(watts, 100.0) * 0.6 + 24;
}

FlowLayer flowLayer(const PowerSnapshot& snapshot, bool reduceMotion, double time) {
  using FlowStyle::amber, FlowStyle::aqua, FlowStyle::blue;
  const BatteryFlow flow = snapshot.flow();
  const bool external = snapshot.externalConnected, discharging = flow == BatteryFlow::discharging;
  const auto batteryPower = magnitude(snapshot.batteryWatts);

  const Point j = junction;
  const double board = mainboardFrame.y + mainboardFrame.height / 2,
               cell = batteryFrame.y + batteryFrame.height / 2;
  const std::vector<Point> toBoard{j, {j.x, board}, {mainboardFrame.x, board}};

  FlowLayer layer;
  layer.lanes.push_back(drawFlow({{adapterFrame.x + adapterFrame.width, j.y}, j}, snapshot.inputWatts,
                                 external, blue, time, reduceMotion));
  layer.lanes.push_back(drawFlow(toBoard, snapshot.adapterToComputer(), external, blue, time, reduceMotion));
  std::vector<Point> battery{j, {j.x, cell}, {batteryTerminal.x - 1, cell}};
  if (discharging) std::reverse(battery.begin(), battery.end());
  layer.lanes.push_back(drawFlow(std::move(battery), batteryPower,
                                 (external && flow == BatteryFlow::charging) || discharging,
                                 discharging ? amber : aqua, time + 0.3, reduceMotion));
  if (discharging) {
    // Beside a working adapter the battery's lane runs 6 points right of and below the adapter's.
    auto toMainboard =
        external ? std::vector<Point>{j, {j.x + 6, j.y}, {j.x + 6, board + 6}, {mainboardFrame.x, board + 6}}
                 : toBoard;
    layer.lanes.push_back(
        drawFlow(std::move(toMainboard), batteryPower, true, amber, time + 0.7, reduceMotion));
  }
  layer.junctionColor = external ? blue : discharging ? amber : FlowStyle::muted;
  return layer;
}

Rect movingBounds(const FlowLayer& layer) {
  // Dots (radius 3) sit on the lines and chevron arms reach 5.4 points beside them; 6 points around
  // the lines covers both with their antialiasing.
  constexpr double margin = 6;
  double left = layer.junction.x, right = left, top = layer.junction.y, bottom = top;
  for (const Lane& lane : layer.lanes)
    for (const Point& p : lane.polyline)
      if (lane.flowing) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
      }
  return {left - margin, top - margin, right - left + 2 * margin, bottom - top + 2 * margin};
}

Nodes nodes(const PowerSnapshot& s) {
  const bool external = s.externalConnected;
  const BatteryFlow flow = s.flow();
  Nodes n;
  n.adapterFillOpacity = external ? 0.035 : 0.015;
  n.adapterStrokeOpacity = external ? 0.25 : 0.12;

  n.sourceColor = external ? FlowStyle::blue : FlowStyle::muted;
  // Where no supply tells whether the adapter is connected, its values are unknown rather than zero.
  const bool shown = external || !s.externalKnown();
  n.sourceValue = shown ? reading(s.inputWatts, "W", 1, false) : "未接入";
  n.sourceDetail = shown ? std::string(s.inputAmpsEstimated ? "≈" : "") + reading(s.inputAmps, "A", false) +
                               " · " + reading(s.inputVolts, "V", false)
                         : "电源未连接";
  n.sourceEstimated = external && s.inputWattsEstimated;

  n.systemValue = reading(s.systemWatts, "W", 1, false);
  n.systemEstimated = s.systemEstimated;

  n.batteryColor = flow == BatteryFlow::discharging ? FlowStyle::amber : FlowStyle::aqua;
  // The level bar sits inside a 3-point inset of the 168-point card.
  n.levelWidth = std::max(0.0, (168 - 6) * s.percent.value_or(0) / 100);
  n.levelOpacity = batteryActive(flow) ? 0.10 : 0.05;
  n.percentText = percentText(s.percent);
  n.arrowSymbol = flow == BatteryFlow::discharging ? "arrow.up"
                  : flow == BatteryFlow::charging  ? "arrow.down"
                                                   : "pause.fill";
  n.stateWord = flow == BatteryFlow::charging && external ? "充电"
                : flow == BatteryFlow::discharging        ? "放电"
                : flow == BatteryFlow::idle               ? "待机"
                                                          : "未知";
  n.batteryValue = reading(s.batteryWatts, "W", 1, true);
  n.batteryDetail = reading(s.batteryAmps, "A", 2, true) + " · " + reading(s.batteryVolts, "V", false);
  return n;
}

std::string accessibilityLabel(const PowerSnapshot& s) {
  const BatteryFlow flow = s.flow();
  const char* battery = flow == BatteryFlow::discharging                       ? "电池向主板供电"
                        : flow == BatteryFlow::charging && s.externalConnected ? "电源充入电池"
                        : flow == BatteryFlow::idle                            ? "电池待机"
                                                                               : "电池读数未知";
  return "三节点供电图：左侧电源、右上主板、右下电池。" + s.status() + "。主板节点显示整机用电 " +
         reading(s.systemWatts, "瓦", 1, false) + "。电源输入 " + reading(s.inputWatts, "瓦", 1, false) +
         "。" + battery + " " + reading(s.batteryWatts, "瓦", 1, true) + "。辅助读数：电源 " +
         reading(s.inputAmps, "安培", false) + "、" + reading(s.inputVolts, "伏特", false) + "；电池 " +
         reading(s.batteryAmps, "安培", 2, true) + "、" + reading(s.batteryVolts, "伏特", false) + "。";
}

}  // namespace wattline::FlowScene
