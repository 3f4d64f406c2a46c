// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_history_service.h"
#include "platform/testing/scripted_system_events.h"
#include "power/power_monitor.h"
#include "power/refresh_policy.h"

using namespace wattline;
using namespace wattline::testing;
using Phase = ProcessPowerSnapshot::Phase;
using Kind = ScriptedSystemEvents::Kind;

namespace {

struct CountingActivity : ProcessActivity {
  int begin(const std::string& reason) override { return reasons.push_back(reason), ++begun; }
  void end(int) override { ++ended; }
  std::vector<std::string> reasons;
  int begun = 0, ended = 0;
};

// A monitor on virtual time: readings and process batches arrive when the test runs the background.
struct Harness {
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  ScriptedSystemEvents events;
  CountingActivity activity;
  std::shared_ptr<ScriptedHistoryService> store = std::make_shared<ScriptedHistoryService>();
  int reads = 0, processReads = 0, updates = 0;
  std::vector<bool> includeDetails;
  bool onBattery = false;
  std::unique_ptr<PowerMonitor> monitor;
  PowerMonitorServices services() {
    auto read = [this](bool details) {
      includeDetails.push_back(details);
      PowerSnapshot s;  // its system power tells which read was published
      std::tie(s.timestamp, s.available, s.systemWatts, s.systemUpdatedAt, s.batteryInstalled) =
          std::make_tuple(clock.now(), true, ++reads, clock.now(), onBattery);
      return s;
    };
    auto readProcesses = [this] {  // one process using 1 W
      ++processReads;
      ProcessEnergyBatch batch{clock.now(), clock.uptime(), true, {}};
      batch.counters.push_back({1, 7, static_cast<std::uint64_t>(clock.uptime() * 1e9), "exec:/usr/bin/app",
                                "app", clock.uptime()});
      return batch;
    };
    return {scheduler, clock, defaults, read, readProcesses, &events, &activity, nullptr};
  }

  void make(bool withStore = true) {
    monitor = std::make_unique<PowerMonitor>(services(), true, withStore ? store : nullptr);
    monitor->didUpdate = [this] { ++updates; };
  }
  void start() {
    make();
    complete();
  }
  // Lets every read in flight, and every follow-up it starts, finish and deliver its result.
  void complete() {
    do {
      scheduler.runBackground();
      scheduler.runUntilIdle();
    } while (scheduler.pendingBackground() > 0);
  }
  void tick(double seconds) {
    scheduler.advance(seconds);
    complete();
  }
  // Opens the panel with its details and lets the first process batch (the baseline) arrive.
  void sampleDetails() {
    monitor->setPanelVisible(true);
    monitor->setDetailsExpanded(true);
    complete();
  }
  double published() const { return monitor->snapshot().systemWatts.value_or(-1); }
  Phase phase() const { return monitor->processPower().phase; }
};

}  // namespace

TEST(PowerMonitor, RequestsDuringAReadCollapseIntoOneFollowUp) {
  struct Case {
    bool first;
    std::vector<bool> during;  // display requests made while the first read runs
    int published;             // of the first read and its follow-up
  };
  for (const auto& [first, during, published] : std::vector<Case>{
           {true, {true, true, false}, 2},
           {false, {true}, 2},  // a display request publishes the record-only read and its follow-up
           {true, {false}, 1},  // a record-only request after a display read: a record-only follow-up
           {false, {false, false}, 0},
           {true, {}, 1},
       }) {
    Harness h;
    h.start();
    h.monitor->refresh(first);
    for (bool display : during) h.monitor->refresh(display);
    EXPECT_EQ(h.scheduler.pendingBackground(), 1u);  // never two reads at a time
    h.complete();
    EXPECT_EQ(std::make_tuple(h.reads, h.monitor->sampleCount(), h.updates),
              std::make_tuple(during.empty() ? 2 : 3, 1 + published, 1 + published))
        << first << during.size();
  }
}

TEST(PowerMonitor, EventsAndThePanelRefresh) {
  Harness h;
  h.start();
  int notifications = 0;
  h.monitor->observe([&](PowerMonitor::Field) { ++notifications; });
  h.monitor->setPanelVisible(false);  // already hidden: nothing happens
  EXPECT_EQ(std::make_tuple(notifications, h.scheduler.pendingBackground()), std::make_tuple(0, 0ul));
  h.monitor->setPanelVisible(true);
  h.complete();
  for (Kind kind : {Kind::powerSource, Kind::becameActive}) {
    h.events.fire(kind);
    h.complete();
  }
  h.tick(1.0);  // the refresh timer
  EXPECT_EQ(std::make_tuple(h.reads, h.monitor->sampleCount(), h.published()), std::make_tuple(5, 5L, 5.0));
  Harness noSource;
  noSource.events.powerSourceAvailable = false;  // a system without power-source events still runs
  noSource.start();
  EXPECT_EQ(noSource.monitor->sampleCount(), 1);
}

TEST(PowerMonitor, SleepDropsReadsAndDetailSamplingUntilWake) {
  Harness h;
  h.start();
  h.sampleDetails();
  h.scheduler.advance(2.0);  // a snapshot read and a process read are now in flight
  ASSERT_EQ(h.scheduler.pendingBackground(), 2u);
  h.events.fire(Kind::willSleep);
  EXPECT_EQ(std::make_tuple(h.phase(), h.store->continuityBreaks()), std::make_tuple(Phase::idle, 1));
  h.scheduler.advance(5.0);  // ticks while asleep start nothing
  EXPECT_EQ(h.scheduler.pendingBackground(), 2u);
  h.events.fire(Kind::didWake);
  EXPECT_TRUE(h.monitor->history().empty());
  EXPECT_EQ(std::make_tuple(h.phase(), h.store->continuityBreaks()), std::make_tuple(Phase::sampling, 2));
  int published = h.monitor->sampleCount();
  h.scheduler.runOneBackground();  // the reads from before the sleep complete after waking
  h.scheduler.runOneBackground();
  h.scheduler.runUntilIdle();
  EXPECT_EQ(std::make_tuple(h.monitor->sampleCount(), h.phase()),
            std::make_tuple(published, Phase::sampling));
  h.complete();  // fresh reads after waking: the process batch is a new baseline
  EXPECT_EQ(std::make_tuple(h.published(), h.phase()), std::make_tuple(double(h.reads), Phase::sampling));
  h.tick(2.0);
  EXPECT_EQ(h.phase(), Phase::ready);
}

TEST(PowerMonitor, DemoModeDropsLiveResultsAndRepublishesItsScene) {
  Harness h;
  h.make();
  h.monitor->selectDemo(2);
  EXPECT_EQ(h.store->continuityBreaks(), 1);
  auto shown = [&] { return std::make_tuple(h.monitor->sampleCount(), h.monitor->snapshot().flow()); };
  EXPECT_EQ(shown(), std::make_tuple(1L, BatteryFlow::idle));  // the scene at once
  h.complete();                                                // the live read started before the switch
  EXPECT_EQ(shown(), std::make_tuple(1L, BatteryFlow::idle));
  h.scheduler.advance(2.0);
  EXPECT_EQ(std::make_tuple(h.monitor->sampleCount(), h.reads), std::make_tuple(3L, 1));
  EXPECT_EQ(h.monitor->history().size(), 3u);  // every demo publication adds a trend point
  EXPECT_TRUE(h.store->records().empty());     // demo data is never recorded
  EXPECT_EQ(h.store->pendingWrites(), 1u);     // but old rows keep being pruned
  h.store->finishWrites();
  h.monitor->selectDemo(std::nullopt);
  EXPECT_EQ(h.store->continuityBreaks(), 2);
  EXPECT_TRUE(h.monitor->history().empty());
  h.complete();
  EXPECT_EQ(std::make_tuple(h.reads, h.published()), std::make_tuple(2, 2.0));
}

TEST(PowerMonitor, IntervalRulesAndTimers) {
  Harness h;
  h.defaults.setDouble(RefreshPolicy::key, 0.1);  // invalid stored values fall back to 1 s
  h.make();
  using Settings = std::vector<std::pair<double, double>>;
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.05}}));
  EXPECT_FALSE(h.monitor->setRefreshInterval(0.4));
  EXPECT_EQ(h.monitor->refreshInterval(), 1.0);
  EXPECT_TRUE(h.monitor->setRefreshInterval(2));
  EXPECT_EQ(h.defaults.number(RefreshPolicy::key), 2.0);
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.02}, {2.0, 0.1}}));
  h.complete();
  h.store->finishWrites();
  h.tick(1.0);  // the 1-second history timer records without publishing
  EXPECT_EQ(std::make_tuple(h.monitor->sampleCount(), h.store->records().size()), std::make_tuple(2L, 2ul));
  EXPECT_TRUE(h.monitor->setRefreshInterval(1));
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.05}}));
  // Without observing the system there is no history, not even the default store (which an observing
  // monitor makes: the launch's test).
  Harness defaulted;
  int made = 0;
  PowerMonitorServices services = defaulted.services();
  services.defaultStore = [&] { return ++made, defaulted.store; };
  PowerMonitor quiet(services, false);
  EXPECT_EQ(std::make_tuple(quiet.historyStore(), made), std::make_tuple(nullptr, 0));
  // Without a store there is nothing to record between slow refreshes.
  Harness bare;
  bare.defaults.setDouble(RefreshPolicy::key, 30);
  bare.make(false);
  EXPECT_EQ(bare.scheduler.timerSettings(), (Settings{{30.0, 0.1}}));
}

TEST(PowerMonitor, StopIsTerminalAndDestructionLeavesNoReadBehind) {
  Harness h;
  h.start();
  h.sampleDetails();
  h.tick(2.0);
  ASSERT_EQ(h.phase(), Phase::ready);
  EXPECT_EQ(h.activity.reasons, std::vector<std::string>{"Record local power history once per second"});
  h.monitor->refresh(true);
  for (int twice = 0; twice < 2; ++twice) h.monitor->stop();
  EXPECT_TRUE(h.monitor->processPower() == ProcessPowerSnapshot());
  EXPECT_EQ(std::make_tuple(h.activity.ended, h.scheduler.activeTimers()), std::make_tuple(1, 0ul));
  for (Kind kind : {Kind::willSleep, Kind::didWake, Kind::becameActive, Kind::powerSource})
    EXPECT_EQ(h.events.subscribers(kind), 0u);
  int published = h.monitor->sampleCount();
  h.complete();  // the read in flight at stop
  EXPECT_EQ(h.monitor->sampleCount(), published);
  h.monitor->refresh(true);  // a stopped monitor does nothing more
  EXPECT_FALSE(h.monitor->setRefreshInterval(5));
  h.monitor->setDetailsExpanded(false);
  EXPECT_TRUE(h.monitor->detailsExpanded());
  EXPECT_EQ(h.scheduler.pendingBackground(), 0u);
  // A monitor that goes away without stop ends its activity, and its read that has not started never runs.
  Harness unstopped;
  unstopped.make();
  unstopped.monitor.reset();
  unstopped.scheduler.runBackground();
  EXPECT_EQ(std::make_tuple(unstopped.activity.ended, unstopped.reads), std::make_tuple(1, 0));
}

TEST(PowerMonitor, DetailBaselinesAcrossCloseAndReopen) {
  Harness h;
  h.start();
  h.monitor->setDetailsExpanded(true);  // hidden panel: no sampling
  h.complete();
  EXPECT_EQ(std::make_tuple(h.processReads, h.phase()), std::make_tuple(0, Phase::idle));
  h.sampleDetails();
  EXPECT_EQ(std::make_tuple(h.processReads, h.phase()), std::make_tuple(1, Phase::sampling));  // a baseline
  EXPECT_EQ(h.includeDetails.back(), true);  // snapshot reads include the detail sensors now
  int notifications = 0;
  h.monitor->observe([&](PowerMonitor::Field) { ++notifications; });
  h.monitor->setDetailsExpanded(true);  // already expanded: nothing changes
  EXPECT_EQ(std::make_tuple(notifications, h.scheduler.pendingBackground()), std::make_tuple(0, 0ul));
  h.tick(2.0);
  ASSERT_EQ(h.phase(), Phase::ready);
  EXPECT_NEAR(h.monitor->processPower().rows.at(0).watts, 1.0, 1e-9);
  EXPECT_EQ(h.updates, h.monitor->sampleCount() + h.monitor->detailSampleCount());
  // A read in flight when the panel closes and reopens is dropped; a fresh one starts with no baseline.
  h.scheduler.advance(2.0);
  ASSERT_EQ(h.scheduler.pendingBackground(), 2u);  // the process read and the refresh
  h.monitor->setPanelVisible(false);
  EXPECT_EQ(h.phase(), Phase::idle);
  h.monitor->setPanelVisible(true);
  h.complete();
  EXPECT_EQ(std::make_tuple(h.processReads, h.phase()), std::make_tuple(4, Phase::sampling));
  // Demo mode shows the fixed ranking and reads no processes.
  h.monitor->selectDemo(0);
  EXPECT_EQ(h.monitor->processPower().rows.size(), 3u);
  h.tick(4.0);
  EXPECT_EQ(h.processReads, 4);
}

TEST(PowerMonitor, SlowHistoryWritesSkipReadingsAndFlushWaits) {
  Harness h;
  h.start();
  EXPECT_EQ(std::make_tuple(h.store->records().size(), h.store->pendingWrites()), std::make_tuple(1ul, 1ul));
  for (int i = 0; i < 2; ++i) h.tick(1.0);
  EXPECT_EQ(h.store->records().size(), 1u);  // skipped while the first write runs
  h.store->finishWrites(HistoryError{"Wattline.History", 1, "历史写入失败: disk I/O error"});
  EXPECT_EQ(h.monitor->historyError(), "历史写入失败: disk I/O error");
  h.scheduler.advance(1.0);
  h.scheduler.runBackground();
  double readAt = h.clock.uptime();
  h.clock.shiftUptime(0.4);  // the main thread was busy: the uptime still goes with the reading
  h.complete();
  EXPECT_EQ(std::make_tuple(h.store->records().size(), h.store->uptimes().back()),
            std::make_tuple(2ul, readAt));
  // Quit during a write: flush returns once the write ends, and its outcome is still published.
  h.monitor->stop();
  int flushes = 0;
  h.monitor->flushHistory([&] { ++flushes; });
  EXPECT_EQ(flushes, 0);
  h.store->finishWrites();
  EXPECT_EQ(std::make_tuple(flushes, h.monitor->historyError()),
            std::make_tuple(1, std::optional<std::string>()));
  h.monitor->flushHistory([&] { ++flushes; });  // nothing to wait for
  EXPECT_EQ(flushes, 2);
}

// One app using 8 W of a 10 W package, on battery: the ledger bills it every 10 s, its minutes reach the
// store, and after five minutes the user is told once, unless alerts are off.
TEST(PowerMonitor, BillsTheLedgerAndTellsOfADrainingAppOnce) {
  for (const bool alertsOff : {false, true}) {
    Harness h;
    h.onBattery = true;
    h.defaults.setBool(kDrainAlertsOffKey, alertsOff);
    std::vector<DrainAlert> told;
    PowerMonitorServices services = h.services();
    services.ledgerSource = [&h] {
      const double uptime = h.clock.uptime();
      ProcessEnergyBatch batch{h.clock.now(), uptime, true, {}, static_cast<std::uint64_t>(uptime * 10e9)};
      batch.counters.push_back(
          {1, 7, static_cast<std::uint64_t>(uptime * 8e9), "exec:/usr/bin/app", "app", std::nullopt, uptime});
      return batch;
    };
    services.drainAlert = [&told](const DrainAlert& alert) { told.push_back(alert); };
    h.monitor = std::make_unique<PowerMonitor>(services, true, h.store);
    for (int i = 0; i < 60; ++i) {
      h.tick(10);
      h.store->finishWrites();
    }
    EXPECT_EQ(h.monitor->ledgerSampleCount(), 60);  // at the start, then every 10 s (each a little late)
    ASSERT_GE(h.store->ledger.size(), 9u);
    EXPECT_TRUE(h.store->ledger.back().onBattery);
    EXPECT_NEAR(h.store->ledger.back().shares.back().joules, 480, 1e-6);  // the app's minute
    ASSERT_EQ(told.size(), alertsOff ? 0u : 1u);
    for (const DrainAlert& alert : told)
      EXPECT_EQ(drainAlertText(alert), "「app」正在大量耗电：近 5 分钟平均 8.0 W");
    // Stopping writes what was measured of the open minute.
    const std::size_t written = h.store->ledger.size();
    h.monitor->stop();
    EXPECT_EQ(h.store->ledger.size(), written + 1);
  }
}
