// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "base/power_snapshot.h"
#include "platform/desktop_settings.h"
#include "platform/geometry.h"
#include "ui/style/colors.h"

namespace wattline {

// One stroke or fill of the status icon, in the icon's drawing units: a space
// 26 units wide with y growing upwards.
struct IconShape {
  enum class Kind { strokedRoundedRect, strokedPath, filledRect, filledCircle };
  Kind kind = Kind::filledRect;
  // Rectangles, and the box of a circle.
  Rect rect;
  double cornerRadius = 0;
  // Zero for fills.
  double lineWidth = 0;
  // The open path's points.
  std::vector<Point> path;
  bool operator==(const IconShape&) const = default;
};

// The notebook-and-battery icon: screen, base, battery and, while the battery
// charges or discharges, the dot running into or out of it.
struct StatusIconScene {
  std::vector<IconShape> shapes;
  bool operator==(const StatusIconScene&) const = default;
};

namespace StatusIconGeometry {
// The icon is a square of 16 points; drawing units map to points by
// scale 8/13 (26 units span the width), then a lift of 2 points.
inline constexpr double points = 16;
inline constexpr double scale = 8.0 / 13.0;
inline constexpr double liftY = 2;
// The pixel sizes hosts ask for, rendered from the one drawing.
inline constexpr int pixelSizes[] = {16, 22, 24, 32, 48};
}  // namespace StatusIconGeometry

// `phase` in [0, 1) places the dot along the battery.
StatusIconScene statusIconScene(BatteryFlow flow, double phase);

// The icon's one colour: light on a dark panel, dark on a light one. The desktop's
// preference comes first; without one the tray's own luminance decides, where the
// host knows it, and otherwise the application's text colour stands.
StyleColor statusIconColor(ColorScheme scheme, std::optional<double> trayLuminance, StyleColor paletteText);

}  // namespace wattline
