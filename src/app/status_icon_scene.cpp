// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/status_icon_scene.h"

namespace wattline {

StatusIconScene statusIconScene(BatteryFlow flow, double phase) {
  using Kind = IconShape::Kind;
  StatusIconScene scene;
  auto& shapes = scene.shapes;
  shapes.push_back({Kind::strokedRoundedRect, {2, 6, 22, 12}, 2, 1.1, {}});               // screen
  shapes.push_back({Kind::strokedPath, {}, 0, 1.1, {{2, 5}, {0, 3}, {26, 3}, {24, 5}}});  // base
  shapes.push_back({Kind::strokedRoundedRect, {7, 9, 11, 5}, 1, 0.9, {}});                // battery body
  shapes.push_back({Kind::filledRect, {18, 10.5, 1, 2}, 0, 0, {}});                       // battery tip
  if (flow == BatteryFlow::charging || flow == BatteryFlow::discharging) {
    // Charging runs right, into the battery; discharging runs left, out of it.
    const double x = flow == BatteryFlow::charging ? 8 + 8 * phase : 16 - 8 * phase;
    shapes.push_back({Kind::filledCircle, {x - 1, 10.5, 2, 2}, 0, 0, {}});
  }
  return scene;
}

StyleColor statusIconColor(ColorScheme scheme, std::optional<double> trayLuminance, StyleColor paletteText) {
  // White and black ink contrast equally with a background of luminance 0.179:
  // 1.05 / (L + 0.05) = (L + 0.05) / 0.05.
  constexpr double equalContrast = 0.179;
  const bool dark = scheme == ColorScheme::dark ||
                    (scheme == ColorScheme::noPreference && trayLuminance && *trayLuminance < equalContrast);
  if (dark) return {1, 1, 1};
  if (scheme == ColorScheme::light || trayLuminance) return {0, 0, 0};
  return paletteText;
}

}  // namespace wattline
