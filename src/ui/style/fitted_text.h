// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace wattline {

// One line of `text` in `box`. Too wide, the font first shrinks in steps down
// to `minimumScale` of its size; still too wide, the text is elided.
void drawFittedText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                    double minimumScale, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter,
                    Qt::TextElideMode elide = Qt::ElideRight);

// The font drawFittedText ends up with.
QFont fittedFont(const QString& text, const QFont& font, double width, double minimumScale);

}  // namespace wattline
