#pragma once

#include <QFont>

namespace wattline {

// Every text of the interface is set in one CJK family, asked for by name:
// left to itself, fontconfig picks the Japanese cut for Chinese text. Its
// digits have equal advances, so numbers that change in place do not jitter.
namespace Fonts {

enum class Weight { light, regular, medium, semibold };

inline constexpr const char* family = "Noto Sans CJK SC";

// A font of `points` design points; one design point is one device-independent pixel.
QFont system(double points, Weight weight = Weight::regular);

}  // namespace Fonts

}  // namespace wattline
