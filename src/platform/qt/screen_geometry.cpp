// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/screen_geometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace wattline {

Rect toUpwards(const QRectF& downwards, double primaryHeight) {
  return {downwards.x(), primaryHeight - downwards.y() - downwards.height(), downwards.width(),
          downwards.height()};
}

QRectF toDownwards(const Rect& upwards, double primaryHeight) {
  return {upwards.x, primaryHeight - upwards.y - upwards.height, upwards.width, upwards.height};
}

std::optional<Rect> toUpwards(const QRectF& downwards) {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return std::nullopt;
  return toUpwards(downwards, primary->geometry().height());
}

ScreenFrames screenFrames(const QScreen& screen) {
  const QScreen* primary = QGuiApplication::primaryScreen();
  const double height = primary ? primary->geometry().height() : screen.geometry().height();
  return {toUpwards(screen.geometry(), height), toUpwards(screen.availableGeometry(), height)};
}

}  // namespace wattline
