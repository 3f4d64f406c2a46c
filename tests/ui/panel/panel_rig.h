// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/preview_renderer.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_desktop_settings.h"
#include "power/power_monitor.h"
#include "qt_application.h"
#include "ui/panel/flow_panel.h"

namespace wattline::testing {

// A login item whose state the test sets; registering can be made to fail.
struct ScriptedPanelLoginItem : LoginItemManaging {
  LoginItemState current = LoginItemState::notRegistered;
  std::optional<LoginItemError> failure;
  int settingsOpened = 0;
  LoginItemState state() const override { return current; }
  std::optional<LoginItemError> registerItem() override { return failure; }
  std::optional<LoginItemError> unregisterItem() override { return failure; }
  void openSettings() override { ++settingsOpened; }
};

// A panel on a monitor that runs on virtual time and reads nothing by itself.
struct PanelRig {
  explicit PanelRig(bool staticPreview = false, bool previewDetails = false) {
    testApplication();
    monitor = std::make_unique<PowerMonitor>(
        PowerMonitorServices{scheduler, clock, defaults, [this](bool) { return ++reads, live; },
                             [] { return ProcessEnergyBatch{}; }, nullptr, nullptr, nullptr},
        false);
    settle();
    panel = std::make_unique<FlowPanel>(
        *monitor, FlowPanelEnvironment{defaults, loginItem, desktop, clock, "9.9", [this] { ++abouts; }},
        staticPreview, previewDetails,
        PanelActions{[this](Size size) { sizes.push_back(size); }, [this] { ++historyOpened; }, [] {}});
  }
  // Lets readings in flight arrive.
  void settle() {
    scheduler.runBackground();
    scheduler.runUntilIdle();
  }

  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  ScriptedDesktopSettings desktop;
  std::shared_ptr<ScriptedPanelLoginItem> loginItem = std::make_shared<ScriptedPanelLoginItem>();
  PowerSnapshot live = PowerSnapshot::demo(0, clock.now());
  std::unique_ptr<PowerMonitor> monitor;
  std::vector<Size> sizes;
  int historyOpened = 0, reads = 0, abouts = 0;
  std::unique_ptr<FlowPanel> panel;
};

// The pixel at design point (x, y) of an image drawn at `scale`.
inline QColor pixelAt(const QImage& image, double x, double y, double scale = 1) {
  return image.pixelColor(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 6) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Runs the event loop for `milliseconds`; how long it really took.
inline qint64 runEventsFor(int milliseconds) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return elapsed.elapsed();
}

// Timers registered with the event loop for `widget` and everything inside it.
inline int activeTimers(QObject& object) {
  int count = QAbstractEventDispatcher::instance()->registeredTimers(&object).size();
  for (QObject* child : object.findChildren<QObject*>()) {
    count += QAbstractEventDispatcher::instance()->registeredTimers(child).size();
  }
  return count;
}

}  // namespace wattline::testing
