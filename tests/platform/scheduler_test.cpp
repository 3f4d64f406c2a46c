// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <thread>
#include "private_bus.h"
#include "qt_application.h"

#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_user_defaults.h"

using namespace wattline;

TEST(QtScheduler, MainThreadDeliveryDelaysAndCancellation) {
  testApplication();
  QtScheduler scheduler;
  std::thread::id mainThread = std::this_thread::get_id(), workThread, doneThread;
  int workNice = -100;
  scheduler.background(
      [] { return std::make_pair(std::this_thread::get_id(), getpriority(PRIO_PROCESS, gettid())); },
      [&](std::pair<std::thread::id, int> work) {
        std::tie(workThread, workNice) = work;
        doneThread = std::this_thread::get_id();
      });
  ASSERT_TRUE(spinUntil([&] { return doneThread != std::thread::id(); }));
  EXPECT_TRUE(workThread != mainThread && doneThread == mainThread);
  // Background work runs at nice 10 (or nicer, when the whole program already is).
  EXPECT_EQ(workNice, std::max(10, getpriority(PRIO_PROCESS, 0)));
  int ticks = 0;
  bool cancelledRan = false;
  QElapsedTimer clock;
  clock.start();
  qint64 lateAt = 0;
  scheduler.postAfter(0.15, [&] { lateAt = clock.elapsed(); });
  scheduler.postAfter(0.05, [&] { cancelledRan = true; })->cancel();
  auto timer = scheduler.repeating(0.02, 0.0, [&] { ++ticks; });
  ASSERT_TRUE(spinUntil([&] { return lateAt > 0 && ticks >= 3; }));
  EXPECT_TRUE(lateAt >= 140 && !cancelledRan) << lateAt;
  timer->invalidate();
  int stoppedAt = ticks;
  spinUntil([] { return false; }, 100);
  EXPECT_EQ(ticks, stoppedAt);
  // A timer kept past its scheduler is simply no longer valid.
  auto shortLived = std::make_unique<QtScheduler>();
  auto orphan = shortLived->repeating(1.0, 0.05, [] {});
  shortLived.reset();
  EXPECT_FALSE(orphan->isValid());
  orphan.reset();
  // A delayed job posted from a worker thread still runs on the main thread.
  bool fromWorker = false;
  std::thread worker(
      [&] { scheduler.postAfter(0.01, [&] { fromWorker = std::this_thread::get_id() == mainThread; }); });
  worker.join();
  EXPECT_TRUE(spinUntil([&] { return fromWorker; }));
}

TEST(UserDefaults, PersistAndReadTypes) {
  testApplication();
  QTemporaryDir dir;
  QString file = dir.filePath("defaults.conf");
  {
    QtUserDefaults defaults(file);
    EXPECT_FALSE(defaults.boolValue("showPanelOnLaunch"));
    EXPECT_EQ(defaults.number("refreshIntervalSeconds"), std::nullopt);
    EXPECT_EQ(defaults.doubleValue("refreshIntervalSeconds"), 0.0);
    defaults.setBool("showPanelOnLaunch", true);
    defaults.setDouble("refreshIntervalSeconds", 2.5);
  }
  QtUserDefaults reopened(file);
  EXPECT_TRUE(reopened.boolValue("showPanelOnLaunch"));
  EXPECT_EQ(reopened.number("refreshIntervalSeconds"), 2.5);
  EXPECT_EQ(reopened.number("showPanelOnLaunch"), std::nullopt);  // a boolean is not a number
  EXPECT_FALSE(reopened.boolValue("refreshIntervalSeconds"));
}
