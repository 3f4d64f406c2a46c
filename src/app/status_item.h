// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/status_icon_scene.h"
#include "platform/desktop_settings.h"
#include "platform/scheduler.h"
#include "platform/tray_host.h"
#include "platform/user_defaults.h"
#include "power/power_monitor.h"

namespace wattline {

// What the status item reads and where it shows itself.
struct StatusItemServices {
  const PowerMonitor& monitor;
  const Clock& clock;
  TrayHost& host;
  DesktopSettings& desktop;
  const UserDefaults& defaults;
  Scheduler& scheduler;
};

// The tray item: the whole-system wattage beside the notebook-and-battery
// icon, its tooltip and accessibility text, the running dot, and the shrink to
// the icon alone when the bar has no room for the text. A click toggles the
// panel. Main thread only.
class StatusItem {
 public:
  using Toggle = std::function<void(TrayHost::Anchor)>;

  // Shows the launch accessibility text; `toggle` runs on every click.
  StatusItem(StatusItemServices services, Toggle toggle);
  ~StatusItem();
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // Title, accessibility text, tooltip and icon from the monitor's snapshot,
  // then the crowding check once this turn of the event loop is over.
  void updateStatus();
  // Redraws the icon from the snapshot and the phase.
  void updateStatusImage();
  // One 0.25 s step of the dot; a reading that has grown stale since the last
  // update is taken off the item here.
  void animationStep();
  // The repeating 0.25 s timer that runs animationStep; stopping invalidates it.
  void startAnimation();
  void stopAnimation();

  // The title shown beside the icon; empty in the icon-only state.
  const std::string& title() const { return title_; }
  bool iconOnlyForCrowding() const { return iconOnlyForCrowding_; }
  double phase() const { return phase_; }

 private:
  struct Picture {
    StatusIconScene scene;
    StyleColor color;
    bool operator==(const Picture&) const = default;
  };
  void crowdingCheck();
  std::optional<double> staleLimit() const;

  StatusItemServices services_;
  // Queued checks hold this weakly: an item that is gone ends them without effect.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  bool iconOnlyForCrowding_ = false;
  double phase_ = 0;
  std::unique_ptr<Timer> animationTimer_;
  // What the host shows, so that only changes are sent.
  std::string title_;
  std::optional<std::string> accessibilityLabel_;
  std::optional<std::string> toolTip_;
  bool showsStale_ = false;
  std::optional<Picture> picture_;
  std::unique_ptr<Subscription> desktopChanges_;
};

}  // namespace wattline
