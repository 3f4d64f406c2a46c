// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>

#include "platform/desktop_notifications.h"

namespace wattline {

// Notifications through org.freedesktop.Notifications on the session bus. A click is the server's
// "default" action; the callbacks of notifications the server closed are dropped.
class FreedesktopNotifications : public QObject, public DesktopNotifications {
  Q_OBJECT

 public:
  // `icon`: an icon name of the desktop's theme, or a file URI.
  explicit FreedesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                    QString icon = QStringLiteral("wattline"));
  void notify(const std::string& summary, std::function<void()> activated) override;

 private slots:
  void actionInvoked(uint id, const QString& action);
  void notificationClosed(uint id, uint reason);

 private:
  QDBusConnection bus_;
  QString icon_;
  std::map<uint, std::function<void()>> shown_;
};

}  // namespace wattline
