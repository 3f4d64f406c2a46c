// SPDX-License-Identifier: GPL-3.0-or-later

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "ui/history/history_drawing.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"

namespace wattline::HistoryDrawing {

namespace {

constexpr double kLabelWidth = 60;
constexpr double kGridWidth = 0.7;
constexpr double kLayerMargin = 1;  // a range line or a one-point wash may reach past the plot's edge

// Qt scales dash lengths by the pen's width; `on` and `off` are in points.
QPen dashedPen(const QColor& color, double width, double on, double off) {
  QPen pen(color, width, Qt::CustomDashLine, Qt::FlatCap);
  pen.setDashPattern({on / width, off / width});
  return pen;
}

void paintGrid(QPainter& painter, const HistoryScene& scene) {
  const Rect& plot = scene.plot;
  painter.setPen(
      dashedPen(toQColor(SystemColors::secondaryLabel.opacity(0.13)), kGridWidth, gridDash[0], gridDash[1]));
  for (const auto& line : scene.grid)
    painter.drawLine(QPointF(plot.minX(), line.y), QPointF(plot.maxX(), line.y));
  painter.setPen(toQColor(SystemColors::secondaryLabel));
  painter.setFont(Fonts::system(10));
  const double right = plot.minX() - labelGap;
  for (const auto& line : scene.grid)
    painter.drawText(QRectF(right - kLabelWidth, line.y - 8, kLabelWidth, 16),
                     Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(line.label));
  painter.setFont(Fonts::system(10, Fonts::Weight::semibold));
  painter.drawText(QRectF(right - kLabelWidth, plot.minY() - unitRaise - 8, kLabelWidth, 16),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("W"));
}

// The washes, range lines and areas all stand on the time axis. The raster engine pays for every span it
// fills, and a column several hundred pixels tall is as many one-pixel spans: hundreds of range lines
// cost tens of milliseconds. They are therefore drawn into a layer turned a quarter, where a column is
// one long span, and the layer is turned upright onto the plot.
class ColumnLayer {
 public:
  ColumnLayer(const Rect& plot, double scaleX, double scaleY)
      : left_(plot.minX() - kLayerMargin),
        top_(plot.minY() - kLayerMargin),
        scaleX_(scaleX),
        scaleY_(scaleY),
        width_(static_cast<int>(std::ceil((plot.width + 2 * kLayerMargin) * scaleX))),
        height_(static_cast<int>(std::ceil((plot.height + 2 * kLayerMargin) * scaleY))),
        image_(height_, width_, QImage::Format_ARGB32_Premultiplied) {
    image_.fill(Qt::transparent);
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setPen(Qt::NoPen);
  }

  // Device coordinates in the layer of a point of the plot: the layer is the plot turned a quarter
  // anticlockwise.
  QPointF map(double x, double y) const { return {(y - top_) * scaleY_, width_ - (x - left_) * scaleX_}; }

  void fillColumn(double x0, double x1, double top, double bottom, StyleColor color) {
    const QPointF a = map(x0, top), b = map(x1, bottom);
    painter_.fillRect(QRectF(a, b).normalized(), toQColor(color));
  }

  // Without antialiasing, at a third of the cost: the area's top edge lies under the curve's stroke,
  // and its sides and bottom are a faint fill's, where half a pixel does not show.
  void fillArea(const QPolygonF& polygon, StyleColor color) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setBrush(toQColor(color));
    painter_.drawPolygon(polygon);
    painter_.setRenderHint(QPainter::Antialiasing, true);
  }

  void drawOnto(QPainter& painter) {
    painter_.end();
    const QImage upright = image_.transformed(QTransform().rotate(90));
    painter.drawImage(QRectF(left_, top_, width_ / scaleX_, height_ / scaleY_), upright);
  }

 private:
  double left_, top_, scaleX_, scaleY_;
  int width_, height_;
  QImage image_;
  QPainter painter_;
};

void paintColumns(QPainter& painter, const HistoryScene& scene) {
  const QTransform device = painter.deviceTransform();
  const double scaleX = std::hypot(device.m11(), device.m12()),
               scaleY = std::hypot(device.m21(), device.m22());
  if (!(scaleX > 0 && scaleY > 0) || scene.plot.width <= 0 || scene.plot.height <= 0) return;
  ColumnLayer layer(scene.plot, scaleX, scaleY);
  const Rect& plot = scene.plot;
  for (const auto& wash : scene.washes)
    layer.fillColumn(wash.x0, wash.x1, plot.minY(), plot.maxY(), wash.color);
  for (const auto& range : scene.ranges)
    layer.fillColumn(range.x - 0.5, range.x + 0.5, range.top, range.bottom, range.color);
  for (const auto& curve : scene.curves) {
    if (!curve.fill) continue;
    QPolygonF area;
    area.reserve(static_cast<qsizetype>(curve.points.size()) + 2);
    area << layer.map(curve.points.front().x, plot.maxY());
    for (const Point& point : curve.points) area << layer.map(point.x, point.y);
    area << layer.map(curve.points.back().x, plot.maxY());
    layer.fillArea(area, *curve.fill);
  }
  layer.drawOnto(painter);
}

}  // namespace

void paint(QPainter& painter, const HistoryScene& scene) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  if (!scene.grid.empty()) paintGrid(painter, scene);
  paintColumns(painter, scene);
  // Each curve is stroked as its separate butt-capped segments, which the raster engine draws many
  // times faster than a joined polyline. A round join is the disc of the line's width at the vertex,
  // and every vertex is a complete bucket whose wider dot of the same colour follows: together they
  // cover exactly the rounded polyline.
  static_assert(dotDiameter >= 1.7);
  for (const auto& curve : scene.curves) {
    QVector<QLineF> segments;
    segments.reserve(static_cast<qsizetype>(curve.points.size()) - 1);
    for (std::size_t i = 1; i < curve.points.size(); ++i)
      segments.append(
          QLineF(curve.points[i - 1].x, curve.points[i - 1].y, curve.points[i].x, curve.points[i].y));
    painter.setPen(QPen(toQColor(curve.color), curve.width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLines(segments);
  }
  painter.setPen(Qt::NoPen);
  for (const auto& dot : scene.dots) {
    painter.setBrush(toQColor(dot.color));
    painter.drawEllipse(QPointF(dot.centre.x, dot.centre.y), dotDiameter / 2, dotDiameter / 2);
  }
  painter.restore();
}

}  // namespace wattline::HistoryDrawing
