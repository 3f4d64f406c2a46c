#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <csignal>
#include <cstdio>
#include <string>
#include "qt_application.h"

#include "platform/qt/qt_system_events.h"

using namespace wattline;

static bool spinUntil(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// A private message bus standing in for the system bus.
struct PrivateBus {
  std::string address;
  int pid = 0;
  PrivateBus() {
    FILE* out = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (!out) return;
    char line[512];
    if (fgets(line, sizeof line, out)) address = std::string(line).substr(0, std::string(line).find('\n'));
    if (fgets(line, sizeof line, out)) pid = std::atoi(line);
    pclose(out);
  }
  ~PrivateBus() {
    if (pid > 0) kill(pid, SIGTERM);
  }
};

TEST(QtSystemEvents, FollowsLogindSleepSignalsAndLivesWithoutABus) {
  testApplication();
  PrivateBus bus;
  if (bus.address.empty() || bus.pid <= 0) GTEST_SKIP() << "dbus-daemon could not be started";
  QDBusConnection monitorSide = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "monitor");
  QDBusConnection logind = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "logind");
  ASSERT_TRUE(monitorSide.isConnected() && logind.registerService("org.freedesktop.login1"));
  QtSystemEvents events(monitorSide);
  int sleeps = 0, wakes = 0;
  auto sleep = events.onWillSleep([&] { ++sleeps; });
  auto wake = events.onDidWake([&] { ++wakes; });
  ASSERT_TRUE(sleep && wake);
  auto send = [&](bool sleeping) {
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                     "org.freedesktop.login1.Manager", "PrepareForSleep");
    signal << sleeping;
    ASSERT_TRUE(logind.send(signal));
  };
  send(true);
  ASSERT_TRUE(spinUntil([&] { return sleeps == 1 && wakes == 0; }));
  send(false);
  ASSERT_TRUE(spinUntil([&] { return wakes == 1; }));
  EXPECT_EQ(sleeps, 1);
  // A dropped subscription hears nothing more.
  sleep.reset();
  send(true);
  send(false);
  ASSERT_TRUE(spinUntil([&] { return wakes == 2; }));
  EXPECT_EQ(sleeps, 1);
  QDBusConnection::disconnectFromBus("monitor");
  QDBusConnection::disconnectFromBus("logind");
  // No system bus: no sleep events, and no failure.
  QtSystemEvents busless(QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "none"));
  EXPECT_TRUE(!busless.onWillSleep([] {}) && !busless.onDidWake([] {}));
  EXPECT_NE(busless.onBecameActive([] {}), nullptr);  // activation comes from the GUI application
}
