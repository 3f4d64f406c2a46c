#include "app/tray_application.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "app/app_delegate.h"
#include "app/app_info.h"
#include "app/qt_app_windows.h"
#include "history/history_actor.h"
#include "platform/linux/app_identity.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/display_platform.h"
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
  if (problem) std::cerr << "wattline: " << *problem << "\n";
}

}  // namespace

int runTrayApplication(int& argc, char** argv, const CommandLineOptions& options) {
  if (!prepareDisplayPlatform(std::cerr)) return 1;
  QApplication application(argc, argv);
  // Only the orderly quit ends the program: closing the history window must not skip the history's last
  // write.
  QApplication::setQuitOnLastWindowClosed(false);

  QtScheduler scheduler;
  SystemClock clock;
  QtUserDefaults defaults;
  const AppIdentity identity;
  QtDesktop desktop;
  QtSystemEvents events;
  NoProcessActivity activity;
  PortalDesktopSettings desktopSettings;
  QtAppWindows windows({defaults, std::make_shared<SystemLoginItem>(), desktopSettings, clock,
                        AppInfo::version(), [] { AppInfo::showAbout(); }},
                       scheduler);

  AppDelegate* running = nullptr;
  SingleInstance instance(identity.bundleIdentifier().value_or(kDefaultBundleIdentifier), [&running] {
    if (running) running->applicationShouldHandleReopen();
  });
  AppDelegate delegate(
      {scheduler, clock, defaults, desktop, desktopSettings, windows, &events, &activity, nullptr, nullptr,
       [&scheduler](const std::filesystem::path& file) {
         return std::make_shared<HistoryActor>(file, scheduler);
       },
       HistoryStore::defaultURL(identity.bundleIdentifier(), environmentValue),
       [&instance] {
         const bool secondary = instance.claim() == SingleInstance::Role::secondary;
         warn(instance.problem());
         return secondary;
       },
       [] { QCoreApplication::exit(0); }, identity.version().value_or("unknown")},
      options);
  running = &delegate;
  if (!delegate.applicationDidFinishLaunching()) return 0;
  TerminationSignals following([&delegate](int) { delegate.requestTermination(); });
  warn(following.problem());
  return QApplication::exec();
}

}  // namespace wattline
