// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <filesystem>
#include <latch>
#include <thread>
#include "qt_application.h"

#include "history/history_actor.h"
#include "history/history_test_support.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_system_events.h"
#include "power/power_monitor.h"
#include "readers/power_reader.h"

using namespace wattline;
using namespace wattline::testing;

namespace {

void spin(double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

// The real reader, store and event loop on a fixture whose battery current changes while it runs.
TEST(PowerMonitorIntegration, RecordsTheReadersPowerEverySecond) {
  testApplication();
  FixtureTree tree(std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery");
  tree.remove("class/powercap/intel-rapl:1");  // no platform meter: system power comes from the battery
  std::filesystem::path file = std::filesystem::path(tree.root()) / "history" / "history.sqlite3";
  QtScheduler scheduler;
  SystemClock clock;
  MemoryDefaults defaults;
  ScriptedSystemEvents events;
  LivePowerReader reader(linuxPowerServices(tree.root(), std::make_unique<SystemClock>()));
  auto store = std::make_shared<HistoryActor>(file, scheduler);
  auto read = [&](bool details) { return reader.read(details); };
  PowerMonitorServices services{scheduler, clock,   defaults, read, [] { return ProcessEnergyBatch{}; },
                                &events,   nullptr, nullptr};
  auto monitor = std::make_unique<PowerMonitor>(services, true, store);
  spin(2.6);
  double changedAt = secondsSince1970(clock.now());
  tree.write("class/power_supply/BAT0/current_now", "2000000");  // 1.5 A -> 2 A at 12 V
  spin(2.6);
  monitor->stop();
  bool flushed = false;
  monitor->flushHistory([&] { flushed = true; });
  for (int i = 0; i < 100 && !flushed; ++i) spin(0.05);
  ASSERT_TRUE(flushed);
  EXPECT_EQ(monitor->historyError(), std::nullopt);
  monitor.reset();
  store.reset();
  Inspector db(file);
  const std::string before = std::to_string(changedAt - 0.1), after = std::to_string(changedAt + 1.5);
  ASSERT_GE(db.count(), 4);
  // Readings well before or after the change show the fixture's power exactly.
  EXPECT_EQ(db.count("watts IS NULL OR (observed < " + before + " AND watts != 18) OR (observed > " + after +
                     " AND watts != 24)"),
            0);
  // One row per second, at most a timer's slip between rows.
  EXPECT_EQ(db.text("SELECT COUNT(*) - (MAX(second) - MIN(second)) >= 0 FROM samples"), "1");
}

// A monitor destroyed while its read runs on a pool thread waits for it, so the reader and the clock may go
// right after it; a read that never returns (a hardware file that never answers) holds it a second at most.
TEST(PowerMonitorIntegration, DestructionWaitsForTheReadInFlightUpToASecond) {
  testApplication();
  QtScheduler scheduler;
  auto clock = std::make_unique<SystemClock>();
  MemoryDefaults defaults;
  for (const bool stuck : {false, true}) {
    std::atomic<bool> started = false, ended = false;
    std::latch release(1);
    auto read = [&](bool) { return started = true, release.wait(), ended = true, PowerSnapshot(); };
    auto monitor = std::make_unique<PowerMonitor>(
        PowerMonitorServices{scheduler, *clock, defaults, read, nullptr, nullptr, nullptr, nullptr}, false);
    while (!started) std::this_thread::yield();
    std::thread answer([&] {
      if (!stuck) std::this_thread::sleep_for(std::chrono::milliseconds(100)), release.count_down();
    });
    const auto destroying = std::chrono::steady_clock::now();
    monitor.reset();
    EXPECT_EQ(ended, !stuck);
    EXPECT_LT(std::chrono::steady_clock::now() - destroying, std::chrono::milliseconds(1500));
    answer.join();
    if (stuck) release.count_down();  // the driver answers at last
    EXPECT_TRUE(scheduler.waitForBackground(std::chrono::seconds(5)));
  }
  clock.reset();
}
