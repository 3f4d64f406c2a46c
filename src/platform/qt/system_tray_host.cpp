// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/system_tray_host.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/qt/log_categories.h"
#include "platform/qt/screen_geometry.h"
#include "platform/tray_background.h"

namespace wattline {

namespace {

// A tray embeds a new icon within moments; one that has not after 10 s is not looked for again.
constexpr int kEmbeddingPoll = 250, kEmbeddingPolls = 40;  // milliseconds, times

}  // namespace

SystemTrayHost::SystemTrayHost() {
  embedding_.setInterval(kEmbeddingPoll);
  embedding_.setSingleShot(true);
  QObject::connect(&embedding_, &QTimer::timeout, [this] { readBackground(); });
  QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
    // A double click arrives after its first click has toggled already.
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Unknown) return;
    const QRect geometry = icon_.geometry();
    activated(geometry.isEmpty() ? std::nullopt : toUpwards(QRectF(geometry)));
  });
}

void SystemTrayHost::setIcon(std::vector<IconImage> images) {
  QIcon icon;
  for (const IconImage& image : images) {
    const QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.size, image.size,
                         image.size * 4, QImage::Format_ARGB32);
    // The picture borrows the pixels of `images`: copy them before they go.
    icon.addPixmap(QPixmap::fromImage(picture.copy()));
  }
  icon_.setIcon(icon);
  // Shown once there is something to show.
  icon_.show();
  if (!embedding_.isActive()) readBackground();
}

void SystemTrayHost::readBackground() {
  const QRect geometry = icon_.geometry();
  QScreen* screen = geometry.isEmpty() ? nullptr : QGuiApplication::screenAt(geometry.center());
  if (!screen) {
    if (++embeddingPolls_ < kEmbeddingPolls) embedding_.start();
    return;
  }
  embedding_.stop();
  if (geometry == readAt_) return;
  readAt_ = geometry;
  // What the screen shows there: the tray's background with the icon's thin strokes over it.
  const QPoint origin = geometry.topLeft() - screen->geometry().topLeft();
  const QImage shot = screen->grabWindow(0, origin.x(), origin.y(), geometry.width(), geometry.height())
                          .toImage()
                          .convertToFormat(QImage::Format_ARGB32);
  std::vector<std::uint32_t> pixels;
  pixels.reserve(std::size_t(shot.width()) * shot.height());
  for (int y = 0; y < shot.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
    pixels.insert(pixels.end(), row, row + shot.width());
  }
  const std::optional<double> luminance = wattline::backgroundLuminance(pixels);
  qCDebug(logTray) << "tray behind the icon at" << geometry << "has luminance" << luminance.value_or(-1);
  if (luminance == background_) return;
  background_ = luminance;
  hostChanged();
}

void SystemTrayHost::setToolTip(const std::string& text) {
  icon_.setToolTip(QString::fromStdString(text));
}

std::optional<TrayItemPlace> SystemTrayHost::place() const {
  const QRect geometry = icon_.geometry();
  QScreen* screen = QGuiApplication::screenAt(geometry.center());
  const std::optional<Rect> item = toUpwards(QRectF(geometry));
  if (geometry.isEmpty() || !screen || !item) return std::nullopt;
  const ScreenFrames frames = screenFrames(*screen);
  // The top band is what the panels along the top edge keep from the windows.
  return TrayItemPlace{*item, frames.frame, frames.frame.maxY() - frames.visible.maxY(), 0, {}};
}

}  // namespace wattline
