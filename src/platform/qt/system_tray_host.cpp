#include "platform/qt/system_tray_host.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/qt/screen_geometry.h"

namespace wattline {

SystemTrayHost::SystemTrayHost() {
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
