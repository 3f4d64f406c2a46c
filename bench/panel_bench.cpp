// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's drawing costs: one animation frame of the diagram, one whole
// panel, and the CPU the visible panel uses while its dots move (and the
// hidden panel's, which must be nothing). Offscreen, on a monitor that reads
// nothing, so only the panel's own work is measured.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "app/preview_renderer.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_desktop_settings.h"
#include "power/power_monitor.h"
#include "ui/panel/flow_diagram.h"
#include "ui/panel/flow_panel.h"

using namespace wattline;
using namespace wattline::testing;

namespace {

QApplication& application() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "panel_bench";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input-device statics go first at exit (see tests/qt_application.h).
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

// Idles on a real event loop, as the program does.
void runEventsFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

int activeTimers(QObject& root) {
  auto* dispatcher = QAbstractEventDispatcher::instance();
  int count = dispatcher->registeredTimers(&root).size();
  for (QObject* child : root.findChildren<QObject*>()) count += dispatcher->registeredTimers(child).size();
  return count;
}

struct NoLoginItem : LoginItemManaging {
  LoginItemState state() const override { return LoginItemState::notRegistered; }
  std::optional<LoginItemError> registerItem() override { return std::nullopt; }
  std::optional<LoginItemError> unregisterItem() override { return std::nullopt; }
  void openSettings() override {}
};

struct Rig {
  Rig() {
    application();
    monitor = std::make_unique<PowerMonitor>(
        PowerMonitorServices{scheduler, clock, defaults, [](bool) { return PowerSnapshot(); },
                             [] { return ProcessEnergyBatch{}; }, nullptr, nullptr, nullptr},
        false);
    monitor->selectDemo(0);
  }
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  MemoryDefaults defaults;
  ScriptedDesktopSettings desktop;
  std::shared_ptr<LoginItemManaging> loginItem = std::make_shared<NoLoginItem>();
  std::unique_ptr<PowerMonitor> monitor;
};

// One animation frame at scale 2, as the frame clock asks for it: the lane
// region repainted from the cached layers with the moving lanes between them.
void DiagramFrame(benchmark::State& state) {
  application();
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(1'780'000'000)};
  FlowDiagram diagram(clock);
  diagram.resize(396, 184);
  diagram.setSnapshot(PowerSnapshot::demo(static_cast<int>(state.range(0)), clock.now()));
  QImage image(792, 368, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  double time = 0;
  for (auto _ : state) {
    diagram.setPreviewTime(time += 1.0 / 30);
    diagram.render(&image, QPoint(), QRegion(diagram.movingRect()), QWidget::DrawChildren);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(DiagramFrame)
    ->Arg(0)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The whole static panel at scale 2 after a new reading (so the diagram's layers are drawn again too).
void PanelRender(benchmark::State& state) {
  Rig rig;
  const bool details = state.range(0) != 0;
  FlowPanel panel(*rig.monitor, {rig.defaults, rig.loginItem, rig.desktop, rig.clock, "", nullptr}, true,
                  details, {});
  int scene = 0;
  for (auto _ : state) {
    rig.monitor->selectDemo(scene = (scene + 1) % 4);
    auto image = renderOffscreen(panel, 2);
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(PanelRender)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// What the first opening adds to showing the window: the panel and its widgets built, laid out at
// the panel's size and drawn once at scale 1.
void PanelBuild(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    FlowPanel panel(*rig.monitor, {rig.defaults, rig.loginItem, rig.desktop, rig.clock, "", nullptr}, false,
                    false, {});
    panel.resize(420, 400);
    auto image = renderOffscreen(panel, 1);
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(PanelBuild)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The visible panel animating for 10 s, and then hidden for 3 s.
void VisiblePanelCpu(benchmark::State& state) {
  Rig rig;
  FlowPanel panel(*rig.monitor, {rig.defaults, rig.loginItem, rig.desktop, rig.clock, "", nullptr}, false,
                  false, {});
  panel.resize(420, 400);
  panel.show();
  for (auto _ : state) {
    rig.monitor->setPanelVisible(true);
    const long frames = panel.diagram().framesPainted();
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runEventsFor(10'000);
    const double seconds = wall.elapsed() / 1000.0;
    state.counters["core_percent"] = (cpuSeconds() - before) / seconds * 100;
    state.counters["frames_per_s"] = (panel.diagram().framesPainted() - frames) / seconds;

    rig.monitor->setPanelVisible(false);
    // A repaint asked for just before is still delivered; count from after it.
    runEventsFor(100);
    const long hiddenFrames = panel.diagram().framesPainted();
    runEventsFor(3'000);
    state.counters["hidden_frames"] = panel.diagram().framesPainted() - hiddenFrames;
    state.counters["hidden_timers"] = activeTimers(panel);
  }
}
BENCHMARK(VisiblePanelCpu)->Iterations(1)->Repetitions(5)->Unit(benchmark::kSecond);

}  // namespace
