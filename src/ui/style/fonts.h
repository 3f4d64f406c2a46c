// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <cmath>

namespace wattline {

// Every text of the interface is set in one CJK family, asked for by name:
// left to itself, fontconfig picks the Japanese cut for Chinese text. Its
// digits have equal advances, so numbers that change in place do not jitter.
namespace Fonts {

enum class Weight { light, regular, medium, semibold };

inline constexpr const char* family = "Noto Sans CJK SC";

// A font of `points` design points; one design point is one device-independent pixel.
QFont system(double points, Weight weight = Weight::regular);

// The height of one line of text at `points`: tighter than the family's own
// ascent and descent, which leave room for scripts the interface never shows.
inline double lineHeight(double points) {
  return std::ceil(points * 1.3);
}

}  // namespace Fonts

}  // namespace wattline
