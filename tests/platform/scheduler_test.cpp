#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <thread>
#include "qt_application.h"

#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_user_defaults.h"
#include "platform/testing/manual_scheduler.h"

using namespace wattline;
using wattline::testing::ManualScheduler;

TEST(ManualScheduler, OrderCancellationBackgroundAndThreads) {
  ManualScheduler scheduler;
  std::vector<std::string> log;
  scheduler.postAfter(2.5, [&] { log.push_back("late@" + std::to_string(scheduler.now())); });
  scheduler.postAfter(1.0, [&] { log.push_back("cancelled"); })->cancel();
  auto timer =
      scheduler.repeating(1.0, 0.05, [&] { log.push_back("tick@" + std::to_string(int(scheduler.now()))); });
  scheduler.post([&] { log.push_back("now"); });
  scheduler.advance(3.0);
  EXPECT_EQ(log, (std::vector<std::string>{"now", "tick@1", "tick@2", "late@2.500000", "tick@3"}));
  EXPECT_EQ(scheduler.timerSettings(), (std::vector<std::pair<double, double>>{{1.0, 0.05}}));
  timer->invalidate();
  EXPECT_FALSE(timer->isValid());
  scheduler.advance(5.0);
  EXPECT_EQ(std::make_tuple(log.size(), scheduler.activeTimers()), std::make_tuple(5ul, 0ul));
  // Background results arrive when the test says.
  std::optional<int> result;
  auto token = scheduler.background([] { return 42; }, [&](int value) { result = value; });
  scheduler.runUntilIdle();
  EXPECT_EQ(std::make_tuple(result, scheduler.pendingBackground()),
            std::make_tuple(std::optional<int>(), 1ul));
  scheduler.runBackground();
  EXPECT_FALSE(result);  // delivered on the main queue, not inline
  scheduler.runUntilIdle();
  EXPECT_EQ(result, 42);
  result.reset();
  scheduler.background([] { return 7; }, [&](int value) { result = value; })->cancel();
  scheduler.runBackground();
  scheduler.runUntilIdle();
  EXPECT_FALSE(result);  // cancelled: the work ran, its result was dropped
  // Posts from another thread are accepted.
  int delivered = 0;
  std::thread worker([&] { scheduler.post([&] { ++delivered; }); });
  EXPECT_TRUE(scheduler.waitAndRun(std::chrono::seconds(5)));
  worker.join();
  EXPECT_EQ(delivered, 1);
  EXPECT_FALSE(scheduler.waitAndRun(std::chrono::milliseconds(10)));
}

// Runs the event loop until `done` or a real-time limit.
static bool spin(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

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
  ASSERT_TRUE(spin([&] { return doneThread != std::thread::id(); }));
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
  ASSERT_TRUE(spin([&] { return lateAt > 0 && ticks >= 3; }));
  EXPECT_TRUE(lateAt >= 140 && !cancelledRan) << lateAt;
  timer->invalidate();
  int stoppedAt = ticks;
  spin([] { return false; }, 100);
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
  EXPECT_TRUE(spin([&] { return fromWorker; }));
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
