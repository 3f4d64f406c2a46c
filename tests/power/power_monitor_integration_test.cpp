#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <atomic>
#include <filesystem>
#include <latch>
#include <thread>
#include "qt_application.h"

#include "history/history_actor.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_system_events.h"
#include "power/power_monitor.h"

using namespace wattline;
using namespace wattline::testing;

namespace {

void spin(double seconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct Row {
  std::int64_t second;
  double observed;
  std::optional<double> watts;
  double duration;
};

std::vector<Row> rows(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  std::vector<Row> result;
  EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT second, observed, watts, duration FROM samples ORDER BY second",
                               -1, &statement, nullptr),
            SQLITE_OK);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    result.push_back({sqlite3_column_int64(statement, 0), sqlite3_column_double(statement, 1), std::nullopt,
                      sqlite3_column_double(statement, 3)});
    if (sqlite3_column_type(statement, 2) != SQLITE_NULL)
      result.back().watts = sqlite3_column_double(statement, 2);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return result;
}

}  // namespace

// The real reader, store and event loop on a fixture whose battery current changes while it runs.
TEST(PowerMonitorIntegration, RecordsEverySecondAndBreaksAcrossSleep) {
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
  events.fire(ScriptedSystemEvents::Kind::willSleep);
  spin(1.5);
  double wokeAt = secondsSince1970(clock.now());
  events.fire(ScriptedSystemEvents::Kind::didWake);
  spin(2.2);
  monitor->stop();
  bool flushed = false;
  monitor->flushHistory([&] { flushed = true; });
  for (int i = 0; i < 100 && !flushed; ++i) spin(0.05);
  ASSERT_TRUE(flushed);
  EXPECT_EQ(monitor->historyError(), std::nullopt);
  monitor.reset();
  store.reset();
  std::vector<Row> all = rows(file);
  ASSERT_GE(all.size(), 6u);
  std::size_t integrated = 0;
  std::optional<std::size_t> firstAfterWake;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Row& row = all[i];
    ASSERT_TRUE(row.watts);
    // Readings well before or after the change show the fixture's power exactly.
    if (row.observed < changedAt - 0.1) {
      EXPECT_DOUBLE_EQ(*row.watts, 18.0) << row.second;
    }
    if (row.observed > changedAt + 1.5) {
      EXPECT_DOUBLE_EQ(*row.watts, 24.0) << row.second;
    }
    if (row.observed >= wokeAt && !firstAfterWake) firstAfterWake = i;
    if (row.duration > 0) {
      ASSERT_GT(i, 0u);
      const Row& previous = all[i - 1];
      EXPECT_EQ(row.second, previous.second + 1);
      EXPECT_NEAR(row.duration, row.observed - previous.observed, 1e-6);
      ++integrated;
    }
  }
  ASSERT_TRUE(firstAfterWake);
  EXPECT_EQ(all[*firstAfterWake].duration, 0.0);  // the sleep broke continuity
  // One row per second while awake: at most a timer's slip between rows.
  std::int64_t awakeSeconds = all[*firstAfterWake - 1].second - all.front().second + 1;
  EXPECT_GE(static_cast<std::int64_t>(*firstAfterWake), awakeSeconds - 1);
  EXPECT_GE(integrated, all.size() - 3);
}

// A monitor destroyed while its read runs on a pool thread waits for it, so the
// reader and the clock may go right after it.
TEST(PowerMonitorIntegration, DestructionWaitsForTheReadInFlight) {
  testApplication();
  QtScheduler scheduler;
  auto clock = std::make_unique<SystemClock>();
  MemoryDefaults defaults;
  std::atomic<bool> started = false, ended = false;
  std::latch release(1);
  auto read = [&](bool) { return started = true, release.wait(), ended = true, PowerSnapshot(); };
  auto monitor = std::make_unique<PowerMonitor>(
      PowerMonitorServices{scheduler, *clock, defaults, read, nullptr, nullptr, nullptr, nullptr}, false);
  while (!started) std::this_thread::yield();
  std::thread releaser(
      [&] { std::this_thread::sleep_for(std::chrono::milliseconds(100)), release.count_down(); });
  monitor.reset();
  EXPECT_TRUE(ended);
  clock.reset();
  releaser.join();
}
