// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/portal_desktop_settings.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace wattline {

namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
const QString gnomeInterface = QStringLiteral("org.gnome.desktop.interface");
const QString animationsKey = QStringLiteral("enable-animations");

// Read answers the value wrapped in a second variant; the signal in one.
QVariant unwrap(QVariant value) {
  while (value.userType() == qMetaTypeId<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
  return value;
}

}  // namespace

PortalDesktopSettings::PortalDesktopSettings(QDBusConnection bus) : bus_(std::move(bus)) {
  if (!bus_.isConnected()) return;
  bus_.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
               SLOT(settingChanged(QDBusMessage)));
  read(appearance, colorSchemeKey);
  read(gnomeInterface, animationsKey);
}

void PortalDesktopSettings::read(const QString& group, const QString& key) {
  QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Read"));
  call << group << key;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, group, key](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            QDBusPendingReply<QDBusVariant> reply = *done;
            // A portal without the key answers an error: the default stands.
            if (reply.isError()) return;
            if (apply(group, key, unwrap(reply.argumentAt<0>().variant()))) changed();
          });
}

void PortalDesktopSettings::settingChanged(const QDBusMessage& signal) {
  const QVariantList arguments = signal.arguments();
  if (arguments.size() != 3) return;
  if (apply(arguments[0].toString(), arguments[1].toString(), unwrap(arguments[2]))) changed();
}

bool PortalDesktopSettings::apply(const QString& group, const QString& key, const QVariant& value) {
  if (group == appearance && key == colorSchemeKey) {
    bool ok = false;
    const uint raw = value.toUInt(&ok);
    const ColorScheme scheme = !ok        ? ColorScheme::noPreference
                               : raw == 1 ? ColorScheme::dark
                               : raw == 2 ? ColorScheme::light
                                          : ColorScheme::noPreference;
    if (scheme == colorScheme_) return false;
    colorScheme_ = scheme;
    return true;
  }
  if (group == gnomeInterface && key == animationsKey && value.typeId() == QMetaType::Bool) {
    const bool reduce = !value.toBool();
    if (reduce == reduceMotion_) return false;
    reduceMotion_ = reduce;
    return true;
  }
  return false;
}

}  // namespace wattline
