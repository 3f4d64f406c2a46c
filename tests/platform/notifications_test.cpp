// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include "platform/qt/freedesktop_notifications.h"
#include "private_bus.h"
#include "qt_application.h"

using namespace wattline;

// A notification server as a desktop runs it: it keeps what it was asked to show and numbers it.
class TestNotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  explicit TestNotificationServer(const PrivateBus& bus)
      : bus_(QDBusConnection::connectToBus(QString::fromStdString(bus.address), "server")) {}
  ~TestNotificationServer() override { QDBusConnection::disconnectFromBus("server"); }
  bool start() {
    return bus_.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots) &&
           bus_.registerService("org.freedesktop.Notifications");
  }
  void click(uint id, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "ActionInvoked");
    signal << id << action;
    bus_.send(signal);
  }
  QStringList shown;  // icon, summary and actions of each
 public slots:
  uint Notify(const QString&, uint, const QString& icon, const QString& summary, const QString&,
              const QStringList& actions, const QVariantMap&, int) {
    shown << icon + "|" + summary + "|" + actions.join(",");
    return static_cast<uint>(shown.size()) + 40;
  }

 private:
  QDBusConnection bus_;
};

TEST(FreedesktopNotifications, ShowsWithTheIconAndOpensOnTheDefaultActionOnce) {
  testApplication();
  PrivateBus bus;
  ASSERT_TRUE(bus.running());
  TestNotificationServer server(bus);
  QDBusConnection program = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "program");
  int opened = 0;
  {
    FreedesktopNotifications notifications(program);
    // Before a server is on the bus the notification is simply not shown.
    notifications.notify("「A」正在大量耗电：近 5 分钟平均 6.2 W", [&] { ++opened; });
    spinUntil([] { return false; }, 300);
    ASSERT_TRUE(server.start());
    notifications.notify("「A」正在大量耗电：近 5 分钟平均 6.2 W", [&] { ++opened; });
    ASSERT_TRUE(spinUntil([&] { return server.shown.size() == 1; }));
    EXPECT_EQ(server.shown[0], "wattline|「A」正在大量耗电：近 5 分钟平均 6.2 W|default,打开面板");
    spinUntil([] { return false; }, 200);  // the reply with the id arrives
    server.click(99, "default");           // another program's notification
    server.click(41, "other");
    server.click(41, "default");
    server.click(41, "default");
    spinUntil([&] { return opened > 1; }, 500);
  }
  EXPECT_EQ(opened, 1);
  QDBusConnection::disconnectFromBus("program");
}

#include "notifications_test.moc"
