// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/style/symbols.h"

#include <QPainter>
#include <QPixmap>
#include <array>
#include <utility>

#include "ui/style/fonts.h"

namespace wattline::Symbols {

namespace {

// The interface's symbol names and the Material Icons of the same meaning.
constexpr std::array<std::pair<std::string_view, const char*>, 31> table{{
    {"bolt.fill", "bolt"},
    {"cpu", "memory"},
    {"arrow.up", "arrow_upward"},
    {"arrow.down", "arrow_downward"},
    {"pause.fill", "pause"},
    {"waveform.path", "graphic_eq"},
    {"battery.75percent", "battery_5_bar"},
    {"battery.100percent.bolt", "battery_charging_full"},
    {"square.stack.3d.up", "layers"},
    {"display", "desktop_windows"},
    {"clock", "schedule"},
    {"clock.arrow.circlepath", "history"},
    {"wifi", "wifi"},
    {"fanblades", "wind_power"},
    {"arrow.clockwise", "refresh"},
    {"gearshape", "settings"},
    {"chevron.up", "expand_less"},
    {"chevron.down", "expand_more"},
    {"chevron.left", "chevron_left"},
    {"chevron.right", "chevron_right"},
    {"checkmark", "check"},
    {"xmark", "close"},
    {"calendar.badge.clock", "edit_calendar"},
    {"tablecells", "table_chart"},
    {"questionmark.circle", "help_outline"},
    {"dot.radiowaves.left.and.right", "sensors"},
    {"arrow.right.to.line", "last_page"},
    {"exclamationmark.triangle", "warning_amber"},
    {"internaldrive", "storage"},
    {"plus.magnifyingglass", "zoom_in"},
    {"minus.magnifyingglass", "zoom_out"},
}};

}  // namespace

QString ligature(std::string_view name) {
  for (const auto& [symbol, glyph] : table)
    if (symbol == name) return QString::fromLatin1(glyph);
  return {};
}

QFont font(double points) {
  QFont font{QString::fromLatin1(family)};
  font.setPointSizeF(Fonts::system(points).pointSizeF());
  return font;
}

void draw(QPainter& painter, std::string_view name, const QRectF& box, double points, const QColor& color) {
  const QString glyph = ligature(name);
  if (glyph.isEmpty()) return;
  painter.save();
  painter.setFont(font(points));
  painter.setPen(color);
  painter.drawText(box, Qt::AlignCenter, glyph);
  painter.restore();
}

QIcon icon(std::string_view name, const QColor& color, int pixels) {
  QIcon result;
  for (qreal ratio : {1.0, 2.0}) {
    QPixmap pixmap(QSize(pixels, pixels) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Material Icons are drawn on a square of their em size.
    draw(painter, name, QRectF(0, 0, pixels, pixels), pixels, color);
    painter.end();
    result.addPixmap(pixmap);
  }
  return result;
}

}  // namespace wattline::Symbols
