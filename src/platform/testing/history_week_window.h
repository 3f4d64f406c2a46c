// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "history/history_actor.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/testing/history_week.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "ui/history/history_window_controller.h"

namespace wattline::testing {

// The history window on a database filled by `fillWeek`, with the explorer's clock at the week's end.
// The store answers on the Qt event loop; the monitor never reads (its scheduler is never run).
struct HistoryWeekWindow {
  QtScheduler scheduler;
  ManualScheduler idle;
  ManualClock clock{idle, dateFromSeconds(static_cast<double>(kWeekEnd))};
  MemoryDefaults defaults;
  std::shared_ptr<HistoryActor> store;
  std::unique_ptr<PowerMonitor> monitor;
  std::unique_ptr<HistoryWindowController> controller;
  std::vector<std::string> events;

  explicit HistoryWeekWindow(const std::filesystem::path& url)
      : store(std::make_shared<HistoryActor>(url, scheduler)),
        monitor(std::make_unique<PowerMonitor>(
            PowerMonitorServices{idle, clock, defaults, [](bool) { return PowerSnapshot(); },
                                 [] { return ProcessEnergyBatch(); }, nullptr, nullptr, nullptr},
            false, store)),
        controller(std::make_unique<HistoryWindowController>(
            *monitor, scheduler, nullptr, nullptr,
            [this](const std::string& event, std::uint64_t, bool) { events.push_back(event); },
            [] { return dateFromSeconds(static_cast<double>(kWeekEnd) + 0.5); })) {}

  ~HistoryWeekWindow() {
    controller.reset();
    monitor.reset();
    store.reset();  // joins the store's thread, which may still post answers
    QCoreApplication::processEvents();
  }

  HistoryExplorerModel& explorer() { return controller->explorer(); }

  // Runs the event loop until `done` holds or `seconds` have passed; false on time-out.
  template <class Condition>
  bool waitFor(Condition done, double seconds = 10) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > seconds * 1000) return false;
      QCoreApplication::processEvents();
      QThread::yieldCurrentThread();
    }
    return true;
  }
};

}  // namespace wattline::testing
