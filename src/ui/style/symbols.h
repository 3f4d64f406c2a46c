// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QString>
#include <string_view>

class QPainter;

namespace wattline {

// The interface's named symbols ("bolt.fill", "cpu", …), drawn from the
// Material Icons font by ligature. Every name the interface uses is in one
// table; an unknown name draws nothing.
namespace Symbols {

inline constexpr const char* family = "Material Icons";

// The ligature that draws `name`, or an empty string for a name not in the table.
QString ligature(std::string_view name);

// The symbol font at `points` design points.
QFont font(double points);

// Draws `name` centred in `box` at `points` design points.
void draw(QPainter& painter, std::string_view name, const QRectF& box, double points, const QColor& color);

// An icon of `name` for buttons and menus, in `color`.
QIcon icon(std::string_view name, const QColor& color, int pixels = 16);

}  // namespace Symbols

}  // namespace wattline
