// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/style/fitted_text.h"

#include <QFontMetricsF>
#include <QPainter>

namespace wattline {

QFont fittedFont(const QString& text, const QFont& font, double width, double minimumScale) {
  const double natural = QFontMetricsF(font).horizontalAdvance(text);
  if (natural <= width || natural <= 0) return font;
  QFont shrunk = font;
  // Advances do not scale exactly with the size (hinting), so step down from the estimate.
  for (double scale = std::max(minimumScale, width / natural); scale >= minimumScale; scale -= 0.02) {
    shrunk.setPointSizeF(font.pointSizeF() * scale);
    if (QFontMetricsF(shrunk).horizontalAdvance(text) <= width) return shrunk;
  }
  shrunk.setPointSizeF(font.pointSizeF() * minimumScale);
  return shrunk;
}

void drawFittedText(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                    double minimumScale, Qt::Alignment alignment, Qt::TextElideMode elide) {
  const QFont fitted = fittedFont(text, font, box.width(), minimumScale);
  const QFontMetricsF metrics(fitted);
  painter.setFont(fitted);
  painter.drawText(box, alignment | Qt::TextSingleLine, metrics.elidedText(text, elide, box.width()));
}

}  // namespace wattline
