#include <gtest/gtest.h>

#include "platform/linux/app_identity.h"
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

class CountingActivity : public ProcessActivity {
 public:
  int begin(const std::string& reason) override {
    reasons.push_back(reason);
    return ++begun;
  }
  void end(int) override { ++ended; }
  std::vector<std::string> reasons;
  int begun = 0;
  int ended = 0;
};

// A monitor on virtual time: readings and process batches arrive when the test runs the background.
struct Harness {
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  ScriptedSystemEvents events;
  CountingActivity activity;
  std::shared_ptr<ScriptedHistoryService> store = std::make_shared<ScriptedHistoryService>();
  int reads = 0;
  std::vector<bool> includeDetails;
  int processReads = 0;
  bool nextBatchAvailable = true;
  std::unique_ptr<PowerMonitor> monitor;

  PowerMonitorServices services() {
    return {scheduler,
            clock,
            defaults,
            [this](bool details) {
              ++reads;
              includeDetails.push_back(details);
              PowerSnapshot s;
              s.timestamp = clock.now();
              s.available = true;
              s.systemWatts = reads;  // tells which read was published
              s.systemSource = PowerDataSource::sensor;
              s.systemUpdatedAt = clock.now();
              return s;
            },
            [this] {
              ++processReads;
              ProcessEnergyBatch batch;
              batch.timestamp = clock.now();
              batch.uptime = clock.uptime();
              batch.available = nextBatchAvailable;
              // One process using 1 W.
              batch.counters.push_back({1, 7, static_cast<std::uint64_t>(clock.uptime() * 1e9),
                                        "exec:/usr/bin/app", "app", clock.uptime()});
              return batch;
            },
            &events,
            &activity,
            nullptr};
  }

  void make(bool withStore = true) {
    monitor = std::make_unique<PowerMonitor>(services(), true, withStore ? store : nullptr);
  }
  // Lets every read in flight, and every follow-up it starts, finish and deliver its result.
  void complete() {
    do {
      scheduler.runBackground();
      scheduler.runUntilIdle();
    } while (scheduler.pendingBackground() > 0);
  }
  double published() const { return monitor->snapshot().systemWatts.value_or(-1); }
};

}  // namespace

TEST(PowerMonitor, RequestsDuringAReadCollapseIntoOneFollowUp) {
  Harness h;
  h.make();
  EXPECT_EQ(h.scheduler.pendingBackground(), 1u);  // construction reads at once
  h.monitor->refresh(true);
  h.monitor->refresh(true);
  h.monitor->refresh(false);
  EXPECT_EQ(h.scheduler.pendingBackground(), 1u);  // never two reads at a time
  h.complete();
  EXPECT_EQ(h.reads, 2);
  EXPECT_EQ(h.monitor->sampleCount(), 2);
  EXPECT_EQ(h.published(), 2);
  EXPECT_EQ(h.scheduler.pendingBackground(), 0u);
  h.scheduler.advance(1.0);  // the refresh timer
  h.complete();
  EXPECT_EQ(h.reads, 3);
  // The first two readings carry the same reading time: one trend point for both.
  EXPECT_EQ(h.monitor->history().size(), 2u);
}

TEST(PowerMonitor, RecordOnlyReadPublishesWhenADisplayRequestArrives) {
  Harness h;
  h.defaults.setDouble(RefreshPolicy::key, 5);
  h.make();
  h.complete();
  h.store->finishWrites();
  EXPECT_EQ(h.monitor->sampleCount(), 1);
  h.scheduler.advance(1.0);  // the 1-second history timer: a record-only read
  EXPECT_EQ(h.scheduler.pendingBackground(), 1u);
  h.monitor->refresh(true);
  h.scheduler.runOneBackground();
  h.scheduler.runUntilIdle();
  EXPECT_EQ(h.monitor->sampleCount(), 2);  // the record-only read was published
  EXPECT_EQ(h.published(), 2);
  EXPECT_EQ(h.store->records().size(), 2u);
  h.complete();
  EXPECT_EQ(h.monitor->sampleCount(), 3);  // and so was the follow-up
  // Without a display request, history-timer reads are recorded, not published.
  h.store->finishWrites();
  h.scheduler.advance(1.0);
  h.complete();
  EXPECT_EQ(h.monitor->sampleCount(), 3);
  EXPECT_EQ(h.store->records().size(), 3u);
}

TEST(PowerMonitor, SleepDropsTheReadInFlightEvenWhenItCompletesAfterWake) {
  Harness h;
  h.make();
  h.complete();
  ASSERT_EQ(h.monitor->history().size(), 1u);
  h.scheduler.advance(1.0);  // a read is now in flight
  ASSERT_EQ(h.scheduler.pendingBackground(), 1u);
  h.events.fire(Kind::willSleep);
  h.scheduler.advance(5.0);  // ticks while asleep read nothing
  EXPECT_EQ(h.scheduler.pendingBackground(), 1u);
  h.events.fire(Kind::didWake);
  EXPECT_TRUE(h.monitor->history().empty());
  EXPECT_EQ(h.store->continuityBreaks(), 2);
  h.scheduler.runOneBackground();  // the read from before the sleep
  h.scheduler.runUntilIdle();
  EXPECT_EQ(h.monitor->sampleCount(), 1);
  h.complete();  // the fresh read after waking
  EXPECT_EQ(h.monitor->sampleCount(), 2);
  EXPECT_EQ(h.published(), 3);
}

TEST(PowerMonitor, DemoModeDropsLiveResultsAndRepublishesItsScene) {
  Harness h;
  h.make();
  h.monitor->selectDemo(2);
  EXPECT_EQ(h.monitor->sampleCount(), 1);  // the scene at once
  EXPECT_EQ(h.monitor->snapshot().flow(), BatteryFlow::idle);
  h.complete();  // the live read started before the switch
  EXPECT_EQ(h.monitor->sampleCount(), 1);
  EXPECT_EQ(h.monitor->snapshot().flow(), BatteryFlow::idle);
  h.scheduler.advance(2.0);
  EXPECT_EQ(h.monitor->sampleCount(), 3);
  EXPECT_EQ(h.reads, 1);
  EXPECT_EQ(h.monitor->history().size(), 3u);  // every demo publication adds a trend point
  EXPECT_TRUE(h.store->records().empty());     // demo data is never recorded
  EXPECT_EQ(h.store->pendingWrites(), 1u);     // but old rows keep being pruned
  h.store->finishWrites();
  h.monitor->selectDemo(std::nullopt);
  EXPECT_TRUE(h.monitor->history().empty());
  h.complete();
  EXPECT_EQ(h.reads, 2);
  EXPECT_EQ(h.published(), 2);
}

TEST(PowerMonitor, IntervalRulesAndTimers) {
  Harness h;
  h.defaults.setDouble(RefreshPolicy::key, 0.1);  // invalid stored values fall back to 1 s
  h.make();
  EXPECT_EQ(h.monitor->refreshInterval(), 1.0);
  using Settings = std::vector<std::pair<double, double>>;
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.05}}));
  EXPECT_FALSE(h.monitor->setRefreshInterval(0.4));
  EXPECT_EQ(h.monitor->refreshInterval(), 1.0);
  EXPECT_TRUE(h.monitor->setRefreshInterval(2));
  EXPECT_EQ(h.defaults.number(RefreshPolicy::key), 2.0);
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.02}, {2.0, 0.1}}));
  EXPECT_TRUE(h.monitor->setRefreshInterval(2));  // already current
  EXPECT_TRUE(h.monitor->setRefreshInterval(1));
  EXPECT_EQ(h.scheduler.timerSettings(), (Settings{{1.0, 0.05}}));

  // Observing the system without a store given makes the default one; without observing, no history.
  Harness defaulted;
  int made = 0;
  PowerMonitorServices services = defaulted.services();
  services.defaultStore = [&] {
    ++made;
    return defaulted.store;
  };
  PowerMonitor observing(services, true);
  EXPECT_EQ(observing.historyStore(), defaulted.store);
  EXPECT_EQ(defaulted.activity.begun, 1);
  PowerMonitor quiet(services, false);
  EXPECT_EQ(quiet.historyStore(), nullptr);
  EXPECT_EQ(made, 1);

  // Without a store there is nothing to record between slow refreshes.
  Harness bare;
  bare.defaults.setDouble(RefreshPolicy::key, 30);
  bare.make(false);
  EXPECT_EQ(bare.monitor->refreshInterval(), 30.0);
  EXPECT_EQ(bare.scheduler.timerSettings(), (Settings{{30.0, 0.1}}));
}

TEST(PowerMonitor, StopIsTerminalAndIdempotent) {
  Harness h;
  h.make();
  EXPECT_EQ(h.activity.reasons, std::vector<std::string>{"Record local power history once per second"});
  EXPECT_EQ(h.events.subscribers(Kind::powerSource), 1u);
  h.monitor->stop();
  h.monitor->stop();
  EXPECT_EQ(h.activity.ended, 1);
  EXPECT_EQ(h.scheduler.activeTimers(), 0u);
  EXPECT_EQ(h.events.subscribers(Kind::willSleep) + h.events.subscribers(Kind::didWake) +
                h.events.subscribers(Kind::becameActive) + h.events.subscribers(Kind::powerSource),
            0u);
  h.complete();  // the read in flight at stop
  EXPECT_EQ(h.monitor->sampleCount(), 0);
  Harness unstopped;
  unstopped.make();
  unstopped.monitor.reset();  // a monitor that goes away without stop still ends its activity
  EXPECT_EQ(unstopped.activity.ended, 1);
  h.monitor->refresh(true);
  EXPECT_FALSE(h.monitor->setRefreshInterval(5));
  h.monitor->setDetailsExpanded(true);
  EXPECT_FALSE(h.monitor->detailsExpanded());
  EXPECT_EQ(h.scheduler.pendingBackground(), 0u);
}

TEST(PowerMonitor, EventsAndPanelVisibilityRefresh) {
  Harness h;
  h.make();
  h.complete();
  int notifications = 0;
  h.monitor->observe([&](PowerMonitor::Field) { ++notifications; });
  h.monitor->setPanelVisible(false);  // already hidden: nothing happens
  EXPECT_EQ(notifications, 0);
  EXPECT_EQ(h.scheduler.pendingBackground(), 0u);
  h.monitor->setPanelVisible(true);
  EXPECT_EQ(h.scheduler.pendingBackground(), 1u);
  h.complete();
  h.events.fire(Kind::powerSource);
  h.complete();
  h.events.fire(Kind::becameActive);
  h.complete();
  EXPECT_EQ(h.reads, 4);

  Harness noSource;
  noSource.events.powerSourceAvailable = false;  // a system without power-source events still runs
  noSource.make();
  noSource.complete();
  EXPECT_EQ(noSource.monitor->sampleCount(), 1);
}

TEST(PowerMonitor, DetailBaselinesAcrossCloseAndReopen) {
  Harness h;
  h.make();
  h.complete();
  h.monitor->setDetailsExpanded(true);  // hidden panel: no sampling
  EXPECT_EQ(h.monitor->processPower().phase, Phase::idle);
  h.complete();
  EXPECT_EQ(h.processReads, 0);
  h.monitor->setPanelVisible(true);
  EXPECT_EQ(h.monitor->processPower().phase, Phase::sampling);
  h.complete();
  EXPECT_EQ(h.processReads, 1);
  EXPECT_EQ(h.includeDetails.back(), true);  // snapshot reads include the detail sensors now
  EXPECT_EQ(h.monitor->processPower().phase, Phase::sampling);  // first batch is only a baseline
  h.scheduler.advance(2.0);
  h.complete();
  ASSERT_EQ(h.monitor->processPower().phase, Phase::ready);
  ASSERT_EQ(h.monitor->processPower().rows.size(), 1u);
  EXPECT_NEAR(h.monitor->processPower().rows[0].watts, 1.0, 1e-9);
  EXPECT_EQ(h.monitor->detailSampleCount(), 2);

  // A read in flight when the panel closes and reopens is dropped; a fresh one starts with no baseline.
  h.scheduler.advance(2.0);
  ASSERT_EQ(h.scheduler.pendingBackground(), 2u);  // the process read and the refresh
  h.monitor->setPanelVisible(false);
  EXPECT_EQ(h.monitor->processPower().phase, Phase::idle);
  h.monitor->setPanelVisible(true);
  h.complete();
  EXPECT_EQ(h.processReads, 4);
  EXPECT_EQ(h.monitor->processPower().phase, Phase::sampling);
  h.scheduler.advance(2.0);
  h.complete();
  EXPECT_EQ(h.monitor->processPower().phase, Phase::ready);

  // Demo mode shows the fixed ranking and reads no processes.
  int before = h.processReads;
  h.monitor->selectDemo(0);
  EXPECT_EQ(h.monitor->processPower().phase, Phase::ready);
  EXPECT_EQ(h.monitor->processPower().rows.size(), 3u);
  h.scheduler.advance(4.0);
  h.complete();
  EXPECT_EQ(h.processReads, before);
}

TEST(PowerMonitor, UnavailableBatchIsPublishedButIsNoBaseline) {
  Harness h;
  h.make();
  h.monitor->setPanelVisible(true);
  h.monitor->setDetailsExpanded(true);
  h.complete();
  h.nextBatchAvailable = false;
  h.scheduler.advance(2.0);
  h.complete();
  EXPECT_EQ(h.monitor->processPower().phase, Phase::unavailable);
  h.nextBatchAvailable = true;
  h.scheduler.advance(2.0);
  h.complete();
  EXPECT_EQ(h.monitor->processPower().phase, Phase::sampling);  // no baseline to compare with
  h.scheduler.advance(2.0);
  h.complete();
  EXPECT_EQ(h.monitor->processPower().phase, Phase::ready);
}

TEST(PowerMonitor, SlowHistoryWritesSkipReadingsAndFlushWaits) {
  Harness h;
  h.make();
  h.complete();
  EXPECT_EQ(h.store->records().size(), 1u);
  EXPECT_EQ(h.store->pendingWrites(), 1u);
  h.scheduler.advance(1.0);
  h.complete();
  h.scheduler.advance(1.0);
  h.complete();
  EXPECT_EQ(h.store->records().size(), 1u);  // skipped while the first write runs
  h.store->finishWrites(HistoryError{"Wattline.History", 1, "历史写入失败: disk I/O error"});
  EXPECT_EQ(h.monitor->historyError(), "历史写入失败: disk I/O error");
  h.scheduler.advance(1.0);
  h.scheduler.runBackground();
  double readAt = h.clock.uptime();
  h.clock.shiftUptime(0.4);  // the main thread was busy: the uptime still goes with the reading
  h.complete();
  EXPECT_EQ(h.store->records().size(), 2u);
  EXPECT_EQ(h.store->uptimes().back(), readAt);

  // Quit during a write: flush returns once the write ends, and its outcome is still published.
  h.monitor->stop();
  bool flushed = false;
  h.monitor->flushHistory([&] { flushed = true; });
  EXPECT_FALSE(flushed);
  h.store->finishWrites();
  EXPECT_TRUE(flushed);
  EXPECT_EQ(h.monitor->historyError(), std::nullopt);
  bool idle = false;
  h.monitor->flushHistory([&] { idle = true; });
  EXPECT_TRUE(idle);
}
