// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <map>
#include "private_bus.h"
#include "qt_application.h"

#include "platform/qt/portal_desktop_settings.h"

using namespace wattline;

// The settings portal as xdg-desktop-portal serves it: Read answers the value
// wrapped in a second variant, unknown keys answer an error.
class FakePortal : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
 public:
  std::map<std::pair<QString, QString>, QVariant> values;
 public slots:
  QDBusVariant Read(const QString& group, const QString& key) {
    auto found = values.find({group, key});
    if (found == values.end()) {
      sendErrorReply("org.freedesktop.portal.Error.NotFound", "Requested setting not found");
      return {};
    }
    return QDBusVariant(QVariant::fromValue(QDBusVariant(found->second)));
  }
};

TEST(PortalDesktopSettings, ReadsAndFollowsTheDesktopAndKeepsDefaultsWithoutIt) {
  testApplication();
  PrivateBus bus;
  if (!bus.running()) GTEST_SKIP() << "dbus-daemon could not be started";
  QDBusConnection portalSide = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "portal");
  FakePortal portal;
  portal.values[{"org.freedesktop.appearance", "color-scheme"}] = QVariant::fromValue(uint(1));
  ASSERT_TRUE(
      portalSide.registerObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(portalSide.registerService("org.freedesktop.portal.Desktop"));

  PortalDesktopSettings settings(QDBusConnection::connectToBus(QString::fromStdString(bus.address), "app"));
  int changes = 0;
  auto subscription = settings.observe([&] { ++changes; });
  // The animation key is unknown to this portal: motion stays allowed.
  ASSERT_TRUE(spinUntil([&] { return settings.colorScheme() == ColorScheme::dark; }));
  EXPECT_FALSE(settings.reduceMotion());
  EXPECT_EQ(changes, 1);

  auto announce = [&](const char* group, const char* key, const QVariant& value) {
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                                     "org.freedesktop.portal.Settings", "SettingChanged");
    signal << QString(group) << QString(key) << QVariant::fromValue(QDBusVariant(value));
    ASSERT_TRUE(portalSide.send(signal));
  };
  announce("org.gnome.desktop.interface", "enable-animations", false);
  ASSERT_TRUE(spinUntil([&] { return settings.reduceMotion(); }));
  announce("org.freedesktop.appearance", "color-scheme", QVariant::fromValue(uint(2)));
  ASSERT_TRUE(spinUntil([&] { return settings.colorScheme() == ColorScheme::light; }));
  // A repeated value is no change.
  announce("org.freedesktop.appearance", "color-scheme", QVariant::fromValue(uint(2)));
  // Every observer hears a change until it drops its subscription.
  int others = 0;
  auto other = settings.observe([&] { ++others; });
  announce("org.gnome.desktop.interface", "enable-animations", true);
  ASSERT_TRUE(spinUntil([&] { return !settings.reduceMotion(); }));
  EXPECT_EQ(std::make_tuple(changes, others), std::make_tuple(4, 1));
  other.reset();
  announce("org.gnome.desktop.interface", "enable-animations", false);
  ASSERT_TRUE(spinUntil([&] { return settings.reduceMotion(); }));
  EXPECT_EQ(std::make_tuple(changes, others), std::make_tuple(5, 1));
  PortalDesktopSettings busless(QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "none"));
  EXPECT_EQ(std::make_tuple(busless.reduceMotion(), busless.colorScheme()),
            std::make_tuple(false, ColorScheme::noPreference));
}

#include "desktop_settings_test.moc"
