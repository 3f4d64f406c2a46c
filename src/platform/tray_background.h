// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace wattline {

// The relative luminance of an sRGB colour given as 0xAARRGGBB: 0 for black, 1 for white, each channel
// linearised and weighted as the eye sees it.
double relativeLuminance(std::uint32_t argb);

// The luminance of a tray behind an icon, from the pixels under the icon: the median of the opaque
// ones, which is the background's as long as the icon's thin strokes cover less than half of them.
// Nothing without an opaque pixel.
std::optional<double> backgroundLuminance(const std::vector<std::uint32_t>& pixels);

}  // namespace wattline
