// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/status_icon_painter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include "ui/style/qt_color.h"

namespace wattline {

QImage paintStatusIcon(const StatusIconScene& scene, StyleColor color, int pixels) {
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Pixels, then the 16-point square with y upwards, then the drawing units.
  const double pixelsPerPoint = pixels / StatusIconGeometry::points;
  painter.scale(pixelsPerPoint, pixelsPerPoint);
  painter.translate(0, StatusIconGeometry::points);
  painter.scale(1, -1);
  painter.translate(0, StatusIconGeometry::liftY);
  painter.scale(StatusIconGeometry::scale, StatusIconGeometry::scale);

  const QColor ink = toQColor(color);
  for (const IconShape& shape : scene.shapes) {
    const QRectF rect(shape.rect.x, shape.rect.y, shape.rect.width, shape.rect.height);
    QPainterPath path;
    switch (shape.kind) {
      case IconShape::Kind::strokedRoundedRect:
        path.addRoundedRect(rect, shape.cornerRadius, shape.cornerRadius);
        break;
      case IconShape::Kind::strokedPath:
        for (std::size_t i = 0; i < shape.path.size(); ++i) {
          const QPointF point(shape.path[i].x, shape.path[i].y);
          i == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        break;
      case IconShape::Kind::filledRect:
        path.addRect(rect);
        break;
      case IconShape::Kind::filledCircle:
        path.addEllipse(rect);
        break;
    }
    if (shape.lineWidth > 0)
      painter.strokePath(path, QPen(ink, shape.lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    else
      painter.fillPath(path, ink);
  }
  return image;
}

std::vector<IconImage> statusIconImages(const StatusIconScene& scene, StyleColor color) {
  std::vector<IconImage> images;
  for (int size : StatusIconGeometry::pixelSizes) {
    const QImage straight = paintStatusIcon(scene, color, size).convertToFormat(QImage::Format_ARGB32);
    IconImage image{size, {}};
    image.pixels.reserve(std::size_t(size) * size);
    for (int y = 0; y < size; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
      image.pixels.insert(image.pixels.end(), row, row + size);
    }
    images.push_back(std::move(image));
  }
  return images;
}

StyleColor paletteTextColor() {
  const QColor text = QGuiApplication::palette().color(QPalette::WindowText);
  return {text.redF(), text.greenF(), text.blueF(), text.alphaF()};
}

}  // namespace wattline
