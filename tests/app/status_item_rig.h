// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "app/status_item.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_desktop_settings.h"
#include "qt_application.h"

// A status item over a monitor on virtual time, showing itself on `host`.
struct StatusItemRig {
  explicit StatusItemRig(wattline::TrayHost& tray) : host(tray) { testApplication(); }

  // Publishes `snapshot` as the monitor does, then lets the item show it.
  void publish(const wattline::PowerSnapshot& snapshot) {
    next = snapshot;
    next.timestamp = clock.now();
    monitor.refresh(true);
    scheduler.runBackground();
    scheduler.runUntilIdle();
    item.updateStatus();
    scheduler.runUntilIdle();
  }

  wattline::testing::ManualScheduler scheduler;
  wattline::testing::ManualClock clock{scheduler, wattline::dateFromSeconds(1'780'000'000)};
  wattline::testing::MemoryDefaults defaults;
  wattline::ScriptedDesktopSettings desktop;
  wattline::TrayHost& host;
  wattline::PowerSnapshot next;
  wattline::PowerMonitor monitor{
      {scheduler, clock, defaults, nullptr, nullptr, nullptr, nullptr, nullptr}, false, nullptr, [this] {
        return next;
      }};
  std::vector<wattline::TrayHost::Anchor> toggles;
  wattline::StatusItem item{{monitor, clock, host, desktop, defaults, scheduler},
                            [this](wattline::TrayHost::Anchor anchor) { toggles.push_back(anchor); }};
};

// A battery reading: `amps` > 0.05 charges, < -0.05 discharges.
inline wattline::PowerSnapshot batteryReading(std::optional<double> watts, double amps,
                                              bool available = true) {
  wattline::PowerSnapshot s;
  s.available = available;
  s.batteryInstalled = true;
  s.batteryAmps = amps;
  s.systemWatts = watts;
  return s;
}
