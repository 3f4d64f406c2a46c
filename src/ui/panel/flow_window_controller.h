// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"
#include "platform/identity.h"
#include "platform/scheduler.h"
#include "platform/windowing.h"
#include "ui/panel/panel_actions.h"

namespace wattline {

class PowerMonitor;

enum class WindowPresentationTarget { panel, history, none };
std::string_view rawValue(WindowPresentationTarget target);

// What the controller reaches outside itself.
struct FlowWindowServices {
  Scheduler& scheduler;
  const Clock& clock;
  Desktop& desktop;
  std::unique_ptr<PanelWindow> window;
  HistoryPresenterFactory makeHistory;
  std::string version;                             // the release version, "unknown" when there is none
  std::optional<std::filesystem::path> traceFile;  // "--window-trace"
  std::optional<std::filesystem::path> probeFile;  // "--ui-probe"
};

// Presents the drop-down panel and the history window, at most one at a time.
// Callers only record what they want (a target with a reason and a new
// generation); one deferred reconciliation on the main queue compares that with
// the real windows and does what is needed. Main thread only.
class FlowWindowController {
 public:
  FlowWindowController(FlowWindowServices services, PowerMonitor& monitor, std::function<void()> quit);
  ~FlowWindowController();
  FlowWindowController(const FlowWindowController&) = delete;
  FlowWindowController& operator=(const FlowWindowController&) = delete;

  // `button` is the status item's button; without one the anchor stays as it was.
  void toggle(const std::optional<StatusButtonPlace>& button);
  void show(const std::optional<StatusButtonPlace>& button);
  void reopen(const std::optional<StatusButtonPlace>& button);
  void hide();
  void showHistory();
  // With no tray to hang from, the panel is an ordinary titled window: only the user's own requests
  // (closing it, Escape, the history window) put it away, not clicks elsewhere or other windows.
  void setWindowed(bool windowed);
  // The panel content's wanted size; several within one turn cause one placement.
  void requestSize(Size size);
  // Writes the layout probe; the status item passes its title.
  void recordLayout(const std::optional<std::string>& menuTitle);

  // Each action holds the controller weakly.
  PanelActions panelActions();
  bool isVisible() const { return services_.window->isVisible(); }
  PanelWindow& window() { return *services_.window; }
  WindowPresentationTarget presentationTarget() const { return presentationTarget_; }
  std::uint64_t requestGeneration() const { return requestGeneration_; }

 private:
  struct Grants {
    bool activation = false, focus = false, restore = false;
  };
  using Target = WindowPresentationTarget;

  void request(Target target, const std::string& reason, Grants grants);
  void request(Target target, const std::string& reason) { request(target, reason, Grants()); }
  void clearRequestFields();
  void externalInteraction(const std::string& reason);
  void scheduleReconciliation(const std::string& reason);
  void reconcile(std::uint64_t generation, const std::string& reason);
  // Steps 5 to 9 of a reconciliation; false when it ends early, without the closing trace.
  bool reconcileTarget(std::uint64_t generation, bool& changed);
  bool reconcilePanel(std::uint64_t generation, bool& changed);
  bool reconcileHistory(std::uint64_t generation, bool& changed);
  bool hidePanel(const std::string& reason);
  void place(const Screen& screen, const std::optional<Rect>& anchor);
  std::optional<Screen> screenWithId(std::optional<int> id) const;
  void createHistory();
  WindowId historyWindowId() const;
  // A titled window that is neither the panel nor the history window.
  bool isForeignTitledKey(const KeyWindow& window) const;
  template <class Operation>
  auto operation(const std::string& name, Operation perform);

  void installObservers();
  bool escapePressed(WindowId window);
  void windowBecameKey(const KeyWindow& window);
  void screensChanged();
  void trace(const std::string& event, const std::string& reason);
  void writeProbe(const std::optional<std::string>& menuTitle);
  // Runs `job` on the main queue while the controller still exists.
  void post(std::function<void()> job);

  FlowWindowServices services_;
  PowerMonitor& monitor_;
  std::function<void()> quit_;
  std::unique_ptr<HistoryPresenter> historyWindow_;
  Target presentationTarget_ = Target::none;
  std::uint64_t requestGeneration_ = 0;
  std::string lastRequestReason_ = "initial";
  bool reconciliationScheduled_ = false;
  bool reconciling_ = false;
  bool reconcileAgain_ = false;
  int operationDepth_ = 0;
  std::optional<std::uint64_t> activationRequest_;
  std::optional<std::uint64_t> focusRequest_;
  std::optional<std::uint64_t> restoreRequest_;
  bool terminating_ = false;
  bool placementDirty_ = false;
  bool windowed_ = false;
  std::vector<std::unique_ptr<Subscription>> observers_;
  std::optional<Rect> lastAnchor_;
  std::optional<Screen> lastScreen_;
  Size requestedSize_{420, 300};
  bool resizeScheduled_ = false;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace wattline
