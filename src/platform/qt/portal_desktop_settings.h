// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include "platform/desktop_settings.h"

namespace wattline {

// Reads the colour scheme and the animation switch from the desktop's
// settings portal (org.freedesktop.portal.Settings on the session bus) and
// follows its SettingChanged signal. The first answers arrive asynchronously,
// so a slow or missing portal never holds up the start; until then, and
// without a portal, the defaults stand.
class PortalDesktopSettings : public QObject, public DesktopSettings {
  Q_OBJECT
 public:
  explicit PortalDesktopSettings(QDBusConnection bus = QDBusConnection::sessionBus());

  bool reduceMotion() const override { return reduceMotion_; }
  ColorScheme colorScheme() const override { return colorScheme_; }

 public slots:
  // QtDBus delivers signals to public slots only.
  void settingChanged(const QDBusMessage& signal);

 private:
  void read(const QString& group, const QString& key);
  bool apply(const QString& group, const QString& key, const QVariant& value);

  QDBusConnection bus_;
  bool reduceMotion_ = false;
  ColorScheme colorScheme_ = ColorScheme::noPreference;
};

}  // namespace wattline
