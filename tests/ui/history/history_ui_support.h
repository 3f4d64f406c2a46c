// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <vector>

#include "history/history_explorer_model.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_history_service.h"
#include "power/power_monitor.h"
#include "qt_application.h"

namespace wattline::testing {

inline constexpr std::int64_t t0 = 1'700'000'000;  // 2023-11-14 22:13:20 UTC

// A monitor that never reads and an explorer on a scripted store, both on virtual time.
struct ExplorerHarness {
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(static_cast<double>(t0))};
  MemoryDefaults defaults;
  std::shared_ptr<ScriptedHistoryService> store = std::make_shared<ScriptedHistoryService>();
  PowerMonitor monitor{PowerMonitorServices{scheduler, clock, defaults, [](bool) { return PowerSnapshot(); },
                                            [] { return ProcessEnergyBatch(); }, nullptr, nullptr, nullptr},
                       false, store};
  HistoryExplorerModel model{scheduler, store.get(), [this] { return clock.now(); }};

  ExplorerHarness() { testApplication(); }

  // Lets debounced loads start, then answers the newest chart query with `summary` and the newest rows
  // query with a row for every second around the cursor, `watts` each.
  void answer(const HistorySummary& summary, std::optional<double> watts = 12.5) {
    scheduler.advance(0.15);
    for (std::size_t i = store->summaryQueries().size(); i-- > 0;)
      if (store->summaryQueries()[i].maxBuckets == HistoryExplorerModel::summaryBuckets) {
        store->answerSummary(i, summary);
        break;
      }
    if (store->secondsQueries().empty()) return;
    const std::int64_t around = store->secondsQueries().back().around;
    std::vector<HistorySecond> rows;
    for (std::int64_t s = around - 5; s <= std::min(around + 5, model.navigation().latest); ++s)
      rows.push_back({s, watts, 3.0, 1.0, 1.5, true, "charging", false, "sensor", double(s) + 0.3});
    store->answerSeconds(store->secondsQueries().size() - 1, rows);
  }
};

// A bucket of `width` seconds, `valid` of them with power between 2 and 4 W.
inline HistoryBucket bucket(std::int64_t second, std::int64_t valid, std::int64_t width = 10) {
  if (valid == 0) return {second, std::nullopt, std::nullopt, std::nullopt, 0, width};
  return {second, 2.0, 4.0, 3.0, valid, width};
}

}  // namespace wattline::testing
