// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace wattline {

// An sRGB colour with components in 0…1, as plain data so that the pure
// scene code can carry colours without Qt.
struct StyleColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  constexpr StyleColor opacity(double factor) const { return {red, green, blue, alpha * factor}; }
  bool operator==(const StyleColor&) const = default;
};

// The palette the flow diagram, the panel and the previews share.
namespace FlowStyle {
inline constexpr StyleColor aqua{0.02, 0.56, 0.37};
inline constexpr StyleColor blue{0.16, 0.40, 0.84};
inline constexpr StyleColor amber{0.80, 0.43, 0.09};
inline constexpr StyleColor ink{0.13, 0.17, 0.22};
inline constexpr StyleColor muted{0.45, 0.49, 0.55};
inline constexpr StyleColor background{1.0, 1.0, 1.0};
inline constexpr StyleColor surface{0.96, 0.97, 0.985};
inline constexpr StyleColor line{0.86, 0.89, 0.92};
}  // namespace FlowStyle

// The desktop's semantic colours in the light appearance the windows use.
namespace SystemColors {
inline constexpr StyleColor label{0.0, 0.0, 0.0, 0.85};
inline constexpr StyleColor secondaryLabel{0.0, 0.0, 0.0, 0.50};
inline constexpr StyleColor red{1.0, 0.23, 0.19};
inline constexpr StyleColor orange{1.0, 0.58, 0.0};
inline constexpr StyleColor blue{0.0, 0.48, 1.0};
// The desktop's highlight; blue unless the user chose otherwise.
inline constexpr StyleColor accent = blue;
inline constexpr StyleColor controlBackground{1.0, 1.0, 1.0};
inline constexpr StyleColor windowBackground{0.93, 0.93, 0.93};
inline constexpr StyleColor separator{0.0, 0.0, 0.0, 0.10};
}  // namespace SystemColors

}  // namespace wattline
