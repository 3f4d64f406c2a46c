// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_termination.h"
#include "app/command_line.h"
#include "history/history_service.h"
#include "platform/desktop_notifications.h"
#include "platform/desktop_settings.h"
#include "platform/identity.h"
#include "platform/process_activity.h"
#include "platform/qt/reason_log.h"
#include "platform/scheduler.h"
#include "platform/system_events.h"
#include "platform/tray_host.h"
#include "platform/user_defaults.h"
#include "platform/windowing.h"
#include "power/power_monitor.h"
#include "ui/panel/flow_window_controller.h"

namespace wattline {

class StatusItem;

// The windows and the tray item the launch makes; on Qt the real ones, in tests fakes.
class AppWindows {
 public:
  virtual ~AppWindows() = default;
  virtual std::unique_ptr<TrayHost> makeTray() = 0;
  virtual std::unique_ptr<PanelWindow> makePanelWindow() = 0;
  // Gives the window made by makePanelWindow its content, made when the panel first opens.
  virtual void fillPanel(PowerMonitor& monitor, PanelActions actions) = 0;
  virtual std::unique_ptr<HistoryPresenter> makeHistory(PowerMonitor& monitor,
                                                        HistoryCallbacks callbacks) = 0;
};

// What the launch reaches outside itself. Everything must outlive the delegate.
struct AppServices {
  Scheduler& scheduler;
  const Clock& clock;
  UserDefaults& defaults;
  Desktop& desktop;
  DesktopSettings& desktopSettings;
  AppWindows& windows;
  SystemEvents* events = nullptr;
  ProcessActivity* activity = nullptr;
  // The readers; empty: the process-wide ones.
  std::function<PowerSnapshot(bool includeDetails)> liveRead;
  std::function<ProcessEnergyBatch()> processSource;
  // Opens the history database at a file.
  std::function<std::shared_ptr<HistoryService>(const std::filesystem::path& file)> openStore;
  // Where the history lives without "--history-directory"; absent: no history.
  std::optional<std::filesystem::path> defaultStoreFile;
  // Claims the single running copy; true when another copy runs (and was asked to reopen).
  std::function<bool()> anotherCopyRuns;
  // Ends the event loop with status 0.
  std::function<void()> exitApplication;
  std::string version;  // the release version, "unknown" when there is none
  // Later starts are no longer answered once termination begins, so that they wait for this copy to end.
  std::function<void()> stopAnswering;
  // Where an app that drains the battery is told of; none: nowhere.
  DesktopNotifications* notifications = nullptr;
};

// The application: its launch, reopen, the status item's clicks and the
// orderly quit. Main thread only.
class AppDelegate {
 public:
  AppDelegate(AppServices services, CommandLineOptions options);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The launch sequence; false when another copy runs, and this one must end
  // (with status 0) before it has made a monitor or a store.
  bool applicationDidFinishLaunching();
  // Another start of the program: the history window when it is presented, else the panel.
  void applicationShouldHandleReopen();
  // The status item's click.
  void togglePopover(const TrayHost::Anchor& anchor);
  // Quit from the panel, SIGTERM, SIGINT or SIGHUP: stop, wait for the last history write, exit 0.
  void requestTermination();

  PowerMonitor* monitor() { return monitor_.get(); }
  FlowWindowController* windowController() { return windowController_.get(); }

 private:
  // Where the status item's button is now, from the tray host.
  StatusButtonPlace buttonPlace() const;
  StatusButtonPlace buttonPlace(const TrayHost::Anchor& anchor) const;

  AppServices services_;
  CommandLineOptions options_;
  AppTermination termination_;
  std::unique_ptr<TrayHost> tray_;
  std::unique_ptr<PowerMonitor> monitor_;
  std::unique_ptr<FlowWindowController> windowController_;
  std::unique_ptr<StatusItem> statusItem_;
  std::optional<std::string> historyMessage_;
  ReasonLog reasons_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The status item's place for the panel: the anchor and the screen under its
// centre. Without either the panel goes to the top right of the main screen.
StatusButtonPlace statusButtonPlace(const TrayHost::Anchor& anchor, const std::vector<Screen>& screens);

}  // namespace wattline
