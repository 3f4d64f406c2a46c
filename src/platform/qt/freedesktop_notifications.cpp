// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/freedesktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "platform/qt/log_categories.h"

namespace wattline {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QString icon)
    : bus_(std::move(bus)), icon_(std::move(icon)) {
  // Any sender: the server's unique name changes when it restarts.
  if (!bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString))) ||
      !bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                    SLOT(notificationClosed(uint, uint))))
    qCInfo(logPlatform) << "notification clicks are not heard:" << bus_.lastError().message();
}

void FreedesktopNotifications::notify(const std::string& summary, std::function<void()> activated) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QStringLiteral("瓦迹") << uint(0) << icon_ << QString::fromStdString(summary) << QString()
       << QStringList{QStringLiteral("default"), QStringLiteral("打开面板")}
       << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("wattline")}} << int(-1);
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, activated = std::move(activated)](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<uint> reply = *finished;
            finished->deleteLater();
            if (reply.isError()) {
              qCInfo(logPlatform) << "no notification shown:" << reply.error().message();
              return;
            }
            shown_[reply.value()] = activated;
          });
}

void FreedesktopNotifications::actionInvoked(uint id, const QString& action) {
  const auto found = shown_.find(id);
  if (found == shown_.end() || action != QStringLiteral("default")) return;
  const std::function<void()> activated = found->second;
  shown_.erase(found);
  if (activated) activated();
}

void FreedesktopNotifications::notificationClosed(uint id, uint) {
  shown_.erase(id);
}

}  // namespace wattline
