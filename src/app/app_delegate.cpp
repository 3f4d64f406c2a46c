// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/app_delegate.h"

#include "app/status_item.h"
#include "app/system_readers.h"
#include "history/history_store.h"
#include "platform/qt/log_categories.h"
#include "platform/startup_policy.h"

namespace wattline {

namespace {

constexpr double kPanelOpeningDelay = 0.4;

}  // namespace

StatusButtonPlace statusButtonPlace(const TrayHost::Anchor& anchor, const std::vector<Screen>& screens) {
  if (!anchor) return {};
  const Point centre{anchor->x + anchor->width / 2, anchor->y + anchor->height / 2};
  for (const Screen& screen : screens)
    if (screen.frame.contains(centre)) return {anchor, screen};
  return {};
}

AppDelegate::AppDelegate(AppServices services, CommandLineOptions options)
    : services_(std::move(services)),
      options_(std::move(options)),
      termination_(services_.scheduler, services_.exitApplication) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::applicationDidFinishLaunching() {
  // 1. One copy: a later start only asks the running one to reopen.
  if (services_.anotherCopyRuns && services_.anotherCopyRuns()) return false;
  // 2. Linux has no Dock: there is nothing to hide.
  // 3. The store named on the command line, relative to the working directory;
  //    otherwise the monitor makes the default one.
  std::shared_ptr<HistoryService> store;
  if (options_.historyDirectory)
    store = services_.openStore(
        HistoryStore::urlInDirectory(std::filesystem::absolute(*options_.historyDirectory)));
  // 4. The monitor takes its first reading and starts its timers.
  PowerMonitorServices monitorServices{
      services_.scheduler,     services_.clock,  services_.defaults, services_.liveRead,
      services_.processSource, services_.events, services_.activity, nullptr};
  if (!monitorServices.liveRead) monitorServices.liveRead = PowerReader::read;
  if (!monitorServices.processSource)
    monitorServices.processSource = [] { return sharedProcessPowerReader().read(); };
  monitorServices.ledgerSource = monitorServices.processSource;
  if (services_.notifications)
    monitorServices.drainAlert = [this](const DrainAlert& alert) {
      std::weak_ptr<int> alive = alive_;
      services_.notifications->notify(drainAlertText(alert), [this, alive] {
        if (alive.lock() && windowController_) windowController_->show(buttonPlace());
      });
    };
  if (services_.defaultStoreFile)
    monitorServices.defaultStore = [this] { return services_.openStore(*services_.defaultStoreFile); };
  monitor_ = std::make_unique<PowerMonitor>(std::move(monitorServices), true, std::move(store));
  termination_.setMonitor(monitor_.get());
  // Each new history message (a failure, a refused file, a paused recording) goes to the log once.
  monitor_->observe([this](PowerMonitor::Field field) {
    if (field != PowerMonitor::Field::historyError || monitor_->historyError() == historyMessage_) return;
    historyMessage_ = monitor_->historyError();
    if (historyMessage_) qCWarning(logHistory).noquote() << QString::fromStdString(*historyMessage_);
  });
  // 5. The presentation controller; its quit is the orderly quit.
  AppWindows& windows = services_.windows;
  PowerMonitor& monitor = *monitor_;
  std::weak_ptr<int> alive = alive_;
  windowController_ = std::make_unique<FlowWindowController>(
      FlowWindowServices{services_.scheduler, services_.clock, services_.desktop, windows.makePanelWindow(),
                         [&windows, &monitor](HistoryCallbacks callbacks) {
                           return windows.makeHistory(monitor, std::move(callbacks));
                         },
                         services_.version, options_.windowTrace, options_.uiProbe},
      monitor, [this, alive] {
        if (alive.lock()) requestTermination();
      });
  windows.fillPanel(monitor, windowController_->panelActions());
  // 6. The status item, with its launch accessibility text; a click toggles the panel.
  tray_ = windows.makeTray();
  statusItem_ = std::make_unique<StatusItem>(
      StatusItemServices{monitor, services_.clock, *tray_, services_.desktopSettings, services_.defaults,
                         services_.scheduler},
      [this, alive](TrayHost::Anchor anchor) {
        if (alive.lock()) togglePopover(anchor);
      });
  // 7. Every publication refreshes the item, then the layout probe; why a live reading is absent goes to
  //    the log when it changes.
  monitor.didUpdate = [this, alive] {
    if (!alive.lock()) return;
    if (!monitor_->demoMode()) reasons_.update(monitor_->snapshot().unavailable);
    statusItem_->updateStatus();
    windowController_->recordLayout(statusItem_->title());
  };
  // 8. The item shows what the monitor has so far; 9. the history window when asked for.
  statusItem_->updateStatus();
  if (options_.historyWindow) windowController_->showHistory();
  // 10. The icon's dot; it stops as the application terminates.
  statusItem_->startAnimation();
  termination_.onWillTerminate([this] { statusItem_->stopAnimation(); });
  // 11. The panel by itself: forced, on the first launch, or as the user prefers; and, without a tray
  //     to click, always, as an ordinary window.
  if (!tray_->available()) windowController_->setWindowed(true);
  if (!options_.historyWindow) {
    UserDefaults& defaults = services_.defaults;
    const bool firstLaunch = !defaults.boolValue(StartupPolicy::didShowWelcomeKey);
    if (!tray_->available() ||
        StartupPolicy::shouldShowPanel(options_.show, firstLaunch,
                                       defaults.boolValue(StartupPolicy::showOnLaunchKey))) {
      defaults.setBool(StartupPolicy::didShowWelcomeKey, true);
      services_.scheduler.postAfter(kPanelOpeningDelay, [this, alive] {
        if (alive.lock()) windowController_->toggle(buttonPlace());
      });
    }
  }
  return true;
}

void AppDelegate::requestTermination() {
  if (services_.stopAnswering) services_.stopAnswering();
  termination_.request();
}

void AppDelegate::applicationShouldHandleReopen() {
  if (windowController_) windowController_->reopen(buttonPlace());
}

void AppDelegate::togglePopover(const TrayHost::Anchor& anchor) {
  // A click means a tray has come: the panel hangs from it again.
  windowController_->setWindowed(false);
  windowController_->toggle(buttonPlace(anchor));
}

StatusButtonPlace AppDelegate::buttonPlace() const {
  const std::optional<TrayItemPlace> place = tray_->place();
  return buttonPlace(place ? std::optional(place->item) : std::nullopt);
}

StatusButtonPlace AppDelegate::buttonPlace(const TrayHost::Anchor& anchor) const {
  return statusButtonPlace(anchor, services_.desktop.screens());
}

}  // namespace wattline
