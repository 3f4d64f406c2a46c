// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QObject>

#include "platform/qt/screen_geometry.h"
#include "platform/qt/tray_host_chooser.h"
#include "private_bus.h"
#include "status_item_rig.h"

using namespace wattline;

namespace {

const QString itemInterface = "org.kde.StatusNotifierItem";
const QString itemService =
    QString("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());

}  // namespace

// A watcher as a desktop runs it: it keeps the names registered with it.
class TestWatcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
 public:
  bool start(const PrivateBus& bus, const QString& name) {
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(bus.address), name);
    return connection.registerObject("/StatusNotifierWatcher", this, QDBusConnection::ExportAllSlots) &&
           connection.registerService("org.kde.StatusNotifierWatcher");
  }
  QStringList registered;
 public slots:
  void RegisterStatusNotifierItem(const QString& service) { registered << service; }
};

// A tray's view of the item: it reads properties, calls methods and counts signals.
class TestTray : public QObject {
  Q_OBJECT
 public:
  explicit TestTray(const PrivateBus& bus)
      : bus_(QDBusConnection::connectToBus(QString::fromStdString(bus.address), "tray")) {
    for (const char* signal : {"NewIcon", "NewToolTip"})
      bus_.connect(itemService, "/StatusNotifierItem", itemInterface, signal, this, SLOT(count()));
    bus_.connect(itemService, "/StatusNotifierItem", itemInterface, "XAyatanaNewLabel", this,
                 SLOT(label(QString, QString)));
  }
  ~TestTray() override { QDBusConnection::disconnectFromBus("tray"); }

  QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(itemService, "/StatusNotifierItem", interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = bus_.asyncCall(message);
    spinUntil([&] { return pending.isFinished(); });
    // Signals sent before the reply have arrived with it; let them be delivered.
    QCoreApplication::processEvents();
    return pending.reply();
  }
  QVariant property(const char* name) {
    const QDBusMessage reply = call("org.freedesktop.DBus.Properties", "Get", {itemInterface, QString(name)});
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments()[0].value<QDBusVariant>().variant();
  }
  // The IconPixmap sizes, and whether a black icon's opaque bytes come first in each pixel (alpha, red,
  // green, blue).
  std::pair<std::vector<int>, bool> pixmaps() {
    const QDBusArgument argument = property("IconPixmap").value<QDBusArgument>();
    std::pair<std::vector<int>, bool> found;
    int width = 0, height = 0;
    QByteArray bytes;
    for (argument.beginArray(); !argument.atEnd(); argument.endStructure()) {
      argument.beginStructure();
      argument >> width >> height >> bytes;
      found.first.push_back(width);
      for (int i = 0; i + 3 < bytes.size(); i += 4)
        found.second |= bytes[i] != 0 && bytes[i + 1] == 0 && bytes[i + 2] == 0 && bytes[i + 3] == 0;
    }
    argument.endArray();
    return found;
  }

  int changes = 0;
  QStringList labels;
 public slots:
  void count() { ++changes; }
  void label(const QString& text, const QString& guide) { labels << text + " " + guide; }

 private:
  QDBusConnection bus_;
};

TEST(StatusNotifierItem, WaitsForAWatcherShowsTheWattageTakesClicksAndRegistersAgainAfterARestart) {
  testApplication();
  PrivateBus bus;
  if (!bus.running()) GTEST_SKIP() << "dbus-daemon could not be started";
  {
    ::testing::internal::CaptureStderr();
    TrayHostChooser host(QDBusConnection::connectToBus(QString::fromStdString(bus.address), "item"));
    StatusItemRig rig(host);
    rig.desktop.setColorScheme(ColorScheme::light);
    rig.item.updateStatus();
    rig.item.animationStep();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "no system tray found; start wattline again to open the panel\n");
    EXPECT_EQ(host.kind(), TrayHostChooser::Kind::none);

    TestWatcher watcher;
    ASSERT_TRUE(watcher.start(bus, "watcher"));
    ASSERT_TRUE(spinUntil([&] { return watcher.registered == QStringList{itemService}; }));
    TestTray tray(bus);
    for (auto [name, value] : {std::pair{"XAyatanaLabel", "—W"},
                               {"XAyatanaLabelGuide", "888.8W"},
                               {"Status", "Active"},
                               {"ItemIsMenu", "false"}})
      EXPECT_EQ(tray.property(name).toString(), value) << name;
    EXPECT_EQ(tray.pixmaps(), std::pair(std::vector<int>{16, 22, 24, 32, 48}, true));

    rig.publish(batteryReading(12.34, 2));
    EXPECT_EQ(tray.property("XAyatanaLabel").toString(), "12.3W");
    EXPECT_EQ(tray.labels, QStringList{"12.3W 888.8W"});
    EXPECT_EQ(tray.changes, 2);  // the dot appeared and the tooltip changed
    rig.item.animationStep();
    tray.property("Id");
    EXPECT_EQ(tray.changes, 3);  // the dot moved

    tray.call(itemInterface, "Activate", {30, 40});
    ASSERT_EQ(rig.toggles.size(), 1u);
    EXPECT_EQ(rig.toggles[0], toUpwards(QRectF(30, 40, 0, 0)));

    QDBusConnection::disconnectFromBus("watcher");
    TestWatcher restarted;
    ASSERT_TRUE(restarted.start(bus, "watcher-again"));
    EXPECT_TRUE(spinUntil([&] { return restarted.registered == QStringList{itemService}; }));
  }
  QDBusConnection::disconnectFromBus("watcher-again");
  QDBusConnection::disconnectFromBus("item");
}

#include "status_notifier_item_test.moc"
