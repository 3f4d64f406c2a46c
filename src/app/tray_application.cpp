#include "app/tray_application.h"

#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "app/app_delegate.h"
#include "app/app_info.h"
#include "app/qt_app_windows.h"
#include "history/history_actor.h"
#include "platform/linux/app_identity.h"
#include "platform/linux/kernel_clock_synchronisation.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/display_platform.h"
#include "platform/qt/log_categories.h"
#include "platform/qt/portal_desktop_settings.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_scheduler.h"
#include "platform/qt/qt_system_events.h"
#include "platform/qt/qt_user_defaults.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/system_login_item.h"
#include "platform/qt/termination_signals.h"

namespace wattline {

namespace {

std::optional<std::string> environmentValue(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void warn(const std::optional<std::string>& problem) {
  if (problem) qCWarning(logApp).noquote() << QString::fromStdString(*problem);
}

}  // namespace

int runTrayApplication(int& argc, char** argv, const CommandLineOptions& options) {
  // Before anything else: from here on SIGTERM, SIGINT and SIGHUP end the program with status 0.
  TerminationSignals terminationSignals;
  if (!prepareDisplayPlatform(std::cerr)) return 1;
  QApplication application(argc, argv);
  // Wayland compositors and portals find the desktop entry (packaging/local.wattline.Wattline.desktop), and
  // with it the name and icon, by this id.
  QGuiApplication::setDesktopFileName("local.wattline.Wattline");
  // Only the orderly quit ends the program: closing the history window must not skip the history's last
  // write.
  QApplication::setQuitOnLastWindowClosed(false);
  warn(terminationSignals.problem());

  // What a reading in the background uses lives until the program ends.
  QtScheduler scheduler;
  SystemClock clock;
  int status = 0;
  {
    QtUserDefaults defaults;
    const AppIdentity identity;
    QtDesktop desktop;
    QtSystemEvents events;
    NoProcessActivity activity;
    PortalDesktopSettings desktopSettings;
    KernelClockSynchronisation clockSync;
    QtAppWindows windows({defaults, std::make_shared<SystemLoginItem>(), desktopSettings, clock,
                          AppInfo::version(), [] { AppInfo::showAbout(); }},
                         scheduler);

    AppDelegate* running = nullptr;
    SingleInstance instance(
        identity.bundleIdentifier().value_or(kDefaultBundleIdentifier),
        [&running] {
          if (running) running->applicationShouldHandleReopen();
        },
        environmentValue);
    HistoryStoreOptions storeOptions{&clockSync, [](const std::string& message) {
                                       qCWarning(logHistory).noquote() << QString::fromStdString(message);
                                     }};
    AppDelegate delegate(
        {scheduler, clock, defaults, desktop, desktopSettings, windows, &events, &activity, nullptr, nullptr,
         [&scheduler, &storeOptions](const std::filesystem::path& file) {
           return std::make_shared<HistoryActor>(file, scheduler, storeOptions);
         },
         HistoryStore::defaultURL(identity.bundleIdentifier(), environmentValue),
         [&instance] {
           const bool secondary = instance.claim() == SingleInstance::Role::secondary;
           warn(instance.problem());
           return secondary;
         },
         [] { QCoreApplication::exit(0); }, identity.version().value_or("unknown"),
         [&instance] { instance.stopListening(); }},
        options);
    running = &delegate;
    // A signal while Qt started: nothing has been opened yet, so nothing is left to keep.
    if (terminationSignals.caught()) return 0;
    if (!delegate.applicationDidFinishLaunching()) return 0;
    terminationSignals.follow([&delegate](int) { delegate.requestTermination(); });
    status = QApplication::exec();
  }
  // The history is written and the lock given up. A hardware read stuck in
  // the kernel past the monitor's wait may return at any moment and must still
  // find what it uses, so the process ends here rather than tearing that down.
  if (!scheduler.waitForBackground(std::chrono::milliseconds(100))) {
    qCWarning(logApp) << "a hardware read has not returned; ending without it";
    std::_Exit(status);
  }
  return status;
}

}  // namespace wattline
