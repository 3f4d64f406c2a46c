// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

#include "platform/tray_host.h"

namespace wattline {

class StatusNotifierItemAdaptor;

// Our StatusNotifierItem: the icon, tooltip and clicks of the item protocol
// that KDE, GNOME's AppIndicator extension, Xfce, waybar and others host,
// plus the Ayatana label that hosts showing it draw beside the icon. It
// registers with org.kde.StatusNotifierWatcher at once and again whenever the
// watcher restarts. The protocol never tells an item where it sits.
class StatusNotifierItemHost : public QObject, public TrayHost {
  Q_OBJECT
 public:
  static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

  explicit StatusNotifierItemHost(QDBusConnection bus);
  ~StatusNotifierItemHost() override;

  void setIcon(std::vector<IconImage> images) override;
  void setTitle(const std::string& title, const std::string& guide) override;
  void setToolTip(const std::string& text) override;
  void setAccessibilityLabel(const std::string& text) override;
  bool showsTitle() const override { return true; }
  std::optional<TrayItemPlace> place() const override { return std::nullopt; }

 private:
  friend class StatusNotifierItemAdaptor;
  void registerWithWatcher();
  // A click at (x, y) in the desktop's downward coordinates; (0, 0) is what
  // hosts send when they do not know.
  void clicked(int x, int y);

  QDBusConnection bus_;
  // org.kde.StatusNotifierItem-<pid>-1
  QString service_;
  StatusNotifierItemAdaptor* adaptor_;
  QDBusServiceWatcher watcher_;
};

}  // namespace wattline
