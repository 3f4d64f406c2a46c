// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "app/app_termination.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_history_service.h"
#include "power/power_monitor.h"

using namespace wattline;
using namespace wattline::testing;

TEST(AppTermination, ExitsOnlyAfterTheHistoryWriteInFlight) {
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  auto store = std::make_shared<ScriptedHistoryService>();
  int reads = 0;
  auto read = [&](bool) {
    ++reads;
    PowerSnapshot snapshot;
    snapshot.timestamp = clock.now();
    snapshot.available = true;
    return snapshot;
  };
  PowerMonitor monitor(
      {scheduler, clock, defaults, read, [] { return ProcessEnergyBatch{}; }, nullptr, nullptr, nullptr},
      true, store);
  scheduler.runBackground();
  scheduler.runUntilIdle();
  ASSERT_EQ(store->pendingWrites(), 1u);

  std::vector<std::string> steps;
  AppTermination termination(scheduler, [&] { steps.push_back("exit"); });
  termination.setMonitor(&monitor);
  termination.onWillTerminate([&] { steps.push_back("willTerminate"); });
  termination.request();
  termination.request();  // a second signal while the first waits
  scheduler.advance(5);
  EXPECT_EQ(reads, 1);  // stopped at once: no more readings
  EXPECT_TRUE(steps.empty());
  store->finishWrites();
  scheduler.runUntilIdle();
  EXPECT_EQ(steps, (std::vector<std::string>{"willTerminate", "exit"}));

  // Before the launch made a monitor there is nothing to wait for.
  int exits = 0;
  AppTermination early(scheduler, [&] { ++exits; });
  EXPECT_EQ(early.shouldTerminate(), AppTermination::Reply::now);
  early.request();
  EXPECT_EQ(exits, 1);
}
