// SPDX-License-Identifier: GPL-3.0-or-later
// The status item's cost: one animation frame drawn at every host size, and
// the whole process's CPU while the dot runs (4 icon updates a second over
// D-Bus to a tray that fetches each new icon) with the monitor reading a
// fixture tree every second and recording its history, panel closed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <filesystem>
#include <optional>

#include "../tests/private_bus.h"
#include "app/status_icon_painter.h"
#include "app/status_item.h"
#include "history/history_actor.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/tray_host_chooser.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/memory_defaults.h"
#include "platform/testing/scripted_desktop_settings.h"
#include "readers/power_reader.h"

using namespace wattline;

namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "status_item_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
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

// One animation frame: the scene and its five renderings.
void IconFrame(benchmark::State& state) {
  application();
  double phase = 0;
  for (auto _ : state) {
    phase = phase + 0.13 - int(phase + 0.13);
    benchmark::DoNotOptimize(statusIconImages(statusIconScene(BatteryFlow::discharging, phase), {0, 0, 0}));
  }
}
BENCHMARK(IconFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The bus end of the watcher: it only takes registrations.
class Watcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
 public slots:
  void RegisterStatusNotifierItem(const QString&) {}
};

// Counts the icons the item sends on to the chosen host.
class CountingHost : public TrayHost {
 public:
  explicit CountingHost(TrayHost& host) : host_(host) {}
  void setIcon(std::vector<IconImage> images) override { ++icons, host_.setIcon(std::move(images)); }
  void setTitle(const std::string& title, const std::string& guide) override { host_.setTitle(title, guide); }
  void setToolTip(const std::string& text) override { host_.setToolTip(text); }
  void setAccessibilityLabel(const std::string& text) override { host_.setAccessibilityLabel(text); }
  bool showsTitle() const override { return host_.showsTitle(); }
  std::optional<TrayItemPlace> place() const override { return host_.place(); }
  int icons = 0;

 private:
  TrayHost& host_;
};

// 60 s of the running item and monitor on the Qt event loop; with argument 0
// the monitor runs alone, for comparison.
void CpuWhileAnimating(benchmark::State& state) {
  application();
  PrivateBus bus;
  if (!bus.running()) return state.SkipWithError("dbus-daemon could not be started");
  const QString address = QString::fromStdString(bus.address);
  Watcher watcher;
  QDBusConnection watcherSide = QDBusConnection::connectToBus(address, "watcher");
  watcherSide.registerObject("/StatusNotifierWatcher", &watcher, QDBusConnection::ExportAllSlots);
  watcherSide.registerService("org.kde.StatusNotifierWatcher");

  testing::FixtureTree tree(std::string(WATTLINE_FIXTURES) + "/sysfs/laptop-battery");  // discharging
  QtScheduler scheduler;
  SystemClock clock;
  testing::MemoryDefaults defaults;
  LivePowerReader reader(linuxPowerServices(tree.root(), std::make_unique<SystemClock>()));
  auto store =
      std::make_shared<HistoryActor>(std::filesystem::path(tree.root()) / "history.sqlite3", scheduler);
  PowerMonitorServices services{scheduler,
                                clock,
                                defaults,
                                [&](bool details) { return reader.read(details); },
                                [] { return ProcessEnergyBatch{}; },
                                nullptr,
                                nullptr,
                                nullptr};
  ScriptedDesktopSettings desktop;
  TrayHostChooser chooser(QDBusConnection::connectToBus(address, "item"));
  CountingHost host(chooser);

  // A tray in its own process that fetches the icon four times a second, as hosts do on NewIcon.
  const QString service = QString("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
  QProcess tray;
  tray.start("sh",
             {"-c", QString("while :; do dbus-send --bus=%1 --print-reply --dest=%2 /StatusNotifierItem "
                            "org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "
                            "string:IconPixmap >/dev/null; sleep 0.25; done")
                        .arg(address, service)});
  for (auto _ : state) {
    PowerMonitor monitor(services, false, store);
    std::optional<StatusItem> item;
    if (state.range(0) == 1) {
      item.emplace(StatusItemServices{monitor, clock, host, desktop, defaults, scheduler},
                   [](TrayHost::Anchor) {});
      monitor.didUpdate = [&] { item->updateStatus(); };
      item->updateStatus();
      item->startAnimation();
    }
    const int iconsBefore = host.icons;
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = cpuSeconds() - before;
    const double seconds = wall.elapsed() / 1000.0;
    state.counters["core_percent"] = used / seconds * 100;
    state.counters["icons_per_s"] = (host.icons - iconsBefore) / seconds;
    state.counters["published"] = double(monitor.sampleCount());
    monitor.stop();
  }
  tray.kill();
  tray.waitForFinished();
  QDBusConnection::disconnectFromBus("item");
  QDBusConnection::disconnectFromBus("watcher");
}
BENCHMARK(CpuWhileAnimating)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

#include "status_item_bench.moc"
