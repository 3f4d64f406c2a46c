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

StyleColor statusIconColor(ColorScheme scheme, StyleColor paletteText) {
  switch (scheme) {
    case ColorScheme::dark:
      return {1, 1, 1};
    case ColorScheme::light:
      return {0, 0, 0};
    case ColorScheme::noPreference:
      break;
  }
  return paletteText;
}

}  // namespace wattline
