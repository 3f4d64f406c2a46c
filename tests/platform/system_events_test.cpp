// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>

#include <string>
#include "private_bus.h"
#include "qt_application.h"

#include "platform/qt/qt_system_events.h"

using namespace wattline;

// logind's Inhibit: each lock handed out is the write end of a pipe whose read end the test keeps.
struct FakeLogind : QDBusVirtualObject {
  QDBusConnection connection{QString()};
  bool deferring = false;  // answer only when the test says
  std::vector<QDBusMessage> calls;
  std::vector<int> readEnds;
  ~FakeLogind() override {
    for (int fd : readEnds) close(fd);
  }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
    if (message.member() != "Inhibit") return false;
    calls.push_back(message);
    if (deferring)
      message.setDelayedReply(true);
    else
      answer(calls.size() - 1);
    return true;
  }
  void answer(std::size_t i) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    readEnds.push_back(ends[0]);
    connection.send(calls.at(i).createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
    close(ends[1]);
  }
  QString introspect(const QString&) const override { return {}; }
  // Whether someone still holds lock `i`: its pipe has not hung up.
  bool held(std::size_t i) const {
    pollfd end{readEnds.at(i), POLLIN, 0};
    return poll(&end, 1, 0) == 0;
  }
};

TEST(QtSystemEvents, FollowsLogindSleepSignalsDelayingSleepAndLivesWithoutABus) {
  testApplication();
  PrivateBus bus;
  if (!bus.running()) GTEST_SKIP() << "dbus-daemon could not be started";
  QDBusConnection monitorSide = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "monitor");
  FakeLogind manager;
  manager.connection = QDBusConnection::connectToBus(QString::fromStdString(bus.address), "logind");
  ASSERT_TRUE(monitorSide.isConnected() && manager.connection.registerService("org.freedesktop.login1") &&
              manager.connection.registerVirtualObject("/org/freedesktop/login1", &manager));
  QtSystemEvents events(monitorSide);
  int sleeps = 0, wakes = 0;
  bool heldWhileHandling = false;
  auto send = [&](bool sleeping) {
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                     "org.freedesktop.login1.Manager", "PrepareForSleep");
    signal << sleeping;
    ASSERT_TRUE(manager.connection.send(signal));
  };
  manager.deferring = true;
  auto sleep = events.onWillSleep([&] {
    ++sleeps;
    heldWhileHandling = !manager.readEnds.empty() && manager.held(manager.readEnds.size() - 1);
  });
  auto wake = events.onDidWake([&] { ++wakes; });
  ASSERT_TRUE(sleep && wake);
  ASSERT_TRUE(spinUntil([&] { return manager.calls.size() == 1; }));  // one lock, for the will-sleep handler
  QStringList arguments;
  for (const QVariant& argument : manager.calls[0].arguments()) arguments << argument.toString();
  EXPECT_EQ(arguments, (QStringList{"sleep", "瓦迹", "记录睡眠前的最后读数", "delay"}));
  // A lock that arrives after sleep has begun is let go at once.
  send(true);
  ASSERT_TRUE(spinUntil([&] { return sleeps == 1; }));
  manager.answer(0);
  EXPECT_TRUE(spinUntil([&] { return !manager.held(0); }));
  manager.deferring = false;
  send(false);
  ASSERT_TRUE(spinUntil([&] { return wakes == 1 && manager.calls.size() == 2; }));  // a new lock after waking
  spinUntil([] { return false; }, 100);
  EXPECT_TRUE(manager.held(1));
  send(true);
  ASSERT_TRUE(spinUntil([&] { return sleeps == 2 && !manager.held(1); }));  // let go after handling
  EXPECT_TRUE(heldWhileHandling);
  send(false);
  ASSERT_TRUE(spinUntil([&] { return wakes == 2 && manager.calls.size() == 3; }));
  // A dropped subscription hears nothing more and holds no lock.
  ASSERT_TRUE(spinUntil([&] { return manager.readEnds.size() == 3 && manager.held(2); }));
  sleep.reset();
  EXPECT_TRUE(spinUntil([&] { return !manager.held(2); }));
  send(true);
  send(false);
  ASSERT_TRUE(spinUntil([&] { return wakes == 3; }));
  EXPECT_EQ(std::make_tuple(sleeps, manager.calls.size()), std::make_tuple(2, 3ul));
  QDBusConnection::disconnectFromBus("monitor");
  QDBusConnection::disconnectFromBus("logind");
  // No system bus: no sleep events, and no failure.
  QtSystemEvents busless(QDBusConnection::connectToBus(QString("unix:path=/nonexistent/bus"), "none"));
  EXPECT_TRUE(!busless.onWillSleep([] {}) && !busless.onDidWake([] {}));
  EXPECT_NE(busless.onBecameActive([] {}), nullptr);  // activation comes from the GUI application
}
