// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <string_view>

#include "ui/style/colors.h"
#include "ui/style/fonts.h"

namespace wattline::HistoryWidgets {

// The desktop's text styles, in design points.
inline constexpr double captionPoints = 10;
inline constexpr double headlinePoints = 13;

// A label in the interface font, size in design points, in `color`.
QLabel* label(const QString& text, double points, Fonts::Weight weight, StyleColor color, QWidget* parent);
// Recolours a label made by `label`.
void setColor(QLabel* label, StyleColor color);
// A button with a symbol and an optional title; `help` becomes its tooltip.
QToolButton* button(std::string_view symbol, const QString& title, const QString& help,
                    const QString& accessibleName, QWidget* parent);
// The small indeterminate progress indicator shown while something loads.
QProgressBar* busyIndicator(QWidget* parent);
// A caption (12 points, secondary) above a 16-point semibold value; returns the value label.
QLabel* metric(const QString& caption, StyleColor valueColor, QWidget* parent, QBoxLayout* into);

}  // namespace wattline::HistoryWidgets
