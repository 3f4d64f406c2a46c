// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_window_controller.h"

#include "power/power_monitor.h"
#include "ui/panel/flow_diagnostics.h"
#include "ui/panel/panel_placement.h"

namespace wattline {

std::string_view rawValue(WindowPresentationTarget target) {
  switch (target) {
    case WindowPresentationTarget::panel:
      return "panel";
    case WindowPresentationTarget::history:
      return "history";
    case WindowPresentationTarget::none:
      return "none";
  }
  return "none";
}

template <class Operation>
auto FlowWindowController::operation(const std::string& name, Operation perform) {
  ++operationDepth_;
  trace("operation.begin", name);
  struct End {
    FlowWindowController& controller;
    const std::string& name;
    ~End() {
      controller.trace("operation.end", name);
      --controller.operationDepth_;
    }
  } end{*this, name};
  return perform();
}

FlowWindowController::FlowWindowController(FlowWindowServices services, PowerMonitor& monitor,
                                           std::function<void()> quit)
    : services_(std::move(services)), monitor_(monitor), quit_(std::move(quit)) {
  installObservers();
}

FlowWindowController::~FlowWindowController() = default;

void FlowWindowController::post(std::function<void()> job) {
  services_.scheduler.post([alive = std::weak_ptr<int>(alive_), job = std::move(job)] {
    if (alive.lock()) job();
  });
}

PanelActions FlowWindowController::panelActions() {
  std::weak_ptr<int> alive = alive_;
  return {[this, alive](Size size) {
            if (alive.lock()) requestSize(size);
          },
          [this, alive] {
            if (alive.lock()) showHistory();
          },
          [this, alive] {
            if (alive.lock()) quit_();
          }};
}

// Requests

void FlowWindowController::toggle(const std::optional<StatusButtonPlace>& button) {
  if (presentationTarget_ == Target::panel)
    request(Target::none, "user.status.dismiss");
  else
    show(button);
}

void FlowWindowController::show(const std::optional<StatusButtonPlace>& button) {
  if (button) {
    if (button->frame && button->screen) {
      lastAnchor_ = button->frame;
      lastScreen_ = button->screen;
    } else {
      lastAnchor_.reset();
      lastScreen_.reset();
    }
  }
  placementDirty_ = true;
  request(Target::panel, "user.panel", {.activation = true, .focus = true});
}

void FlowWindowController::reopen(const std::optional<StatusButtonPlace>& button) {
  if (presentationTarget_ == Target::history || (historyWindow_ && historyWindow_->isPresented()))
    showHistory();
  else
    show(button);
}

void FlowWindowController::hide() {
  request(Target::none, "user.dismiss");
}

void FlowWindowController::showHistory() {
  createHistory();
  request(Target::history, "user.history", {.activation = true, .focus = true, .restore = true});
}

void FlowWindowController::setWindowed(bool windowed) {
  if (windowed == windowed_) return;
  windowed_ = windowed;
  services_.window->setTitled(windowed);
  placementDirty_ = true;
}

void FlowWindowController::request(Target target, const std::string& reason, Grants grants) {
  if (terminating_) return;
  ++requestGeneration_;
  presentationTarget_ = target;
  lastRequestReason_ = reason;
  auto grant = [this](bool granted) { return granted ? std::optional(requestGeneration_) : std::nullopt; };
  activationRequest_ = grant(grants.activation);
  focusRequest_ = grant(grants.focus);
  restoreRequest_ = grant(grants.restore);
  trace("request", reason);
  scheduleReconciliation(reason);
}

void FlowWindowController::clearRequestFields() {
  activationRequest_.reset();
  focusRequest_.reset();
  restoreRequest_.reset();
}

void FlowWindowController::externalInteraction(const std::string& reason) {
  if (presentationTarget_ == Target::panel && !windowed_)
    request(Target::none, reason);
  else
    clearRequestFields();
  scheduleReconciliation(reason);
}

// Reconciliation

void FlowWindowController::scheduleReconciliation(const std::string& reason) {
  if (terminating_ || reconciliationScheduled_) return;
  reconciliationScheduled_ = true;
  post([this, generation = requestGeneration_, reason] { reconcile(generation, reason); });
}

void FlowWindowController::reconcile(std::uint64_t generation, const std::string& reason) {
  reconciliationScheduled_ = false;
  if (generation != requestGeneration_) {
    trace("coordinator.stale", reason);
    scheduleReconciliation("latest.generation");
    return;
  }
  if (terminating_) return;
  if (reconciling_) {
    reconcileAgain_ = true;
    return;
  }
  reconciling_ = true;
  trace("coordinator.begin", lastRequestReason_);
  bool changed = false;
  if (reconcileTarget(generation, changed)) {
    trace("coordinator.end", lastRequestReason_);
    if (changed) writeProbe(std::nullopt);
  }
  reconciling_ = false;
  if (reconcileAgain_) {
    reconcileAgain_ = false;
    scheduleReconciliation("after.reentrancy");
  }
}

bool FlowWindowController::reconcileTarget(std::uint64_t generation, bool& changed) {
  Desktop& desktop = services_.desktop;
  if (presentationTarget_ != Target::none && activationRequest_ == generation) {
    activationRequest_.reset();
    if (!desktop.isActive()) operation("app.activate", [&] { desktop.activate(); });
  }
  if (requestGeneration_ != generation) {
    scheduleReconciliation("newer.request");
    return false;
  }
  switch (presentationTarget_) {
    case Target::panel:
      return reconcilePanel(generation, changed);
    case Target::history:
      return reconcileHistory(generation, changed);
    case Target::none:
      changed = hidePanel("target.none");
      if (historyWindow_)
        changed = operation("history.suspend.none",
                            [&] { return historyWindow_->coordinatedSuspend(generation); }) ||
                  changed;
      return true;
  }
  return true;
}

bool FlowWindowController::reconcilePanel(std::uint64_t generation, bool& changed) {
  PanelWindow& window = *services_.window;
  if (!services_.desktop.isActive()) {
    // With focus still wanted, the activation's own notification brings the next reconciliation.
    if (focusRequest_ == generation) return false;
    if (!windowed_) {
      request(Target::none, "inactive.panel");
      return false;
    }
  }
  if (auto key = services_.desktop.keyWindow();
      !windowed_ && key && key->visible && isForeignTitledKey(*key)) {
    request(Target::none, "priority.titled.window");
    return false;
  }
  if (historyWindow_)
    changed =
        operation("history.suspend.panel", [&] { return historyWindow_->coordinatedSuspend(generation); });
  if (requestGeneration_ != generation) {
    scheduleReconciliation("newer.after.close");
    return false;
  }
  if (placementDirty_ || !window.isVisible()) {
    auto screen = screenWithId(lastScreen_ ? std::optional(lastScreen_->id) : std::nullopt);
    if (!screen) screen = services_.desktop.mainScreen();
    if (!screen) {
      auto all = services_.desktop.screens();
      if (!all.empty()) screen = all.front();
    }
    if (screen) {
      place(*screen, lastAnchor_);
      placementDirty_ = false;
    }
  }
  if (!monitor_.panelVisible()) monitor_.setPanelVisible(true);
  // A window among others takes the focus only when the user asked for it.
  if (!window.isVisible() || (!window.isKey() && (!windowed_ || focusRequest_ == generation))) {
    bool wasVisible = window.isVisible();
    operation("panel.makeKey", [&] { window.makeKeyAndOrderFront(); });
    if (!wasVisible) monitor_.refresh(true);
    changed = true;
  }
  if (window.isKey()) focusRequest_.reset();
  return true;
}

bool FlowWindowController::reconcileHistory(std::uint64_t generation, bool& changed) {
  changed = hidePanel("target.history");
  createHistory();
  if (!historyWindow_ || !services_.desktop.isActive()) return false;
  bool restore = restoreRequest_ == generation;
  restoreRequest_.reset();
  bool focus = focusRequest_ == generation;
  changed = operation("history.present",
                      [&] { return historyWindow_->coordinatedPresent(generation, restore, focus); }) ||
            changed;
  if (auto state = historyWindow_->window(); state && state->key) focusRequest_.reset();
  return true;
}

bool FlowWindowController::hidePanel(const std::string& reason) {
  PanelWindow& window = *services_.window;
  bool changed = window.isVisible() || monitor_.panelVisible();
  if (window.isVisible()) operation("panel.orderOut." + reason, [&] { window.orderOut(); });
  if (monitor_.panelVisible()) monitor_.setPanelVisible(false);
  return changed;
}

void FlowWindowController::place(const Screen& screen, const std::optional<Rect>& anchor) {
  lastScreen_ = screen;
  lastAnchor_ = anchor;
  Rect bounds = PanelPlacement::safeBounds(screen.frame, screen.visibleFrame, screen.safeTopInset);
  Rect frame = PanelPlacement::frame(bounds, anchor, requestedSize_);
  PanelWindow& window = *services_.window;
  if (window.frame() != frame) operation("panel.frame", [&] { window.setFrame(frame); });
  window.layoutContent();
}

std::optional<Screen> FlowWindowController::screenWithId(std::optional<int> id) const {
  if (!id) return std::nullopt;
  for (auto& screen : services_.desktop.screens())
    if (screen.id == *id) return screen;
  return std::nullopt;
}

void FlowWindowController::requestSize(Size size) {
  if (size == requestedSize_) return;
  requestedSize_ = size;
  if (resizeScheduled_) return;
  resizeScheduled_ = true;
  post([this] {
    resizeScheduled_ = false;
    if (!services_.window->isVisible()) return;
    auto screen = screenWithId(services_.window->screen());
    if (!screen && lastScreen_) screen = screenWithId(lastScreen_->id).value_or(*lastScreen_);
    if (!screen) return;
    place(*screen, lastAnchor_);
    writeProbe(std::nullopt);
  });
}

// History window

void FlowWindowController::createHistory() {
  if (historyWindow_ || !services_.makeHistory) return;
  std::weak_ptr<int> alive = alive_;
  historyWindow_ = services_.makeHistory(HistoryCallbacks{
      [this, alive] {
        if (alive.lock()) showHistory();
      },
      [this, alive] {
        if (alive.lock()) request(Target::none, "user.history.close");
      },
      [this, alive](const std::string& event, std::uint64_t generation, bool internalClose) {
        if (!alive.lock()) return;
        trace("history." + event, "lastHistoryOperation=" + std::to_string(generation) +
                                      ", internalClose=" + (internalClose ? "true" : "false"));
        scheduleReconciliation("history." + event);
      }});
}

WindowId FlowWindowController::historyWindowId() const {
  if (!historyWindow_) return 0;
  auto state = historyWindow_->window();
  return state ? state->id : 0;
}

bool FlowWindowController::isForeignTitledKey(const KeyWindow& window) const {
  return window.titled && window.id != services_.window->id() && window.id != historyWindowId();
}

// Notifications and events

void FlowWindowController::installObservers() {
  std::weak_ptr<int> alive = alive_;
  auto notification = [this, alive](std::string name) {
    return [this, alive, name] {
      if (!alive.lock()) return;
      trace(name, "notification");
      scheduleReconciliation(name);
    };
  };
  DesktopHandlers desktop;
  desktop.outsideMouseDown = [this, alive] {
    if (alive.lock()) externalInteraction("outside.mouse");
  };
  desktop.escapeKey = [this, alive](WindowId window) { return alive.lock() && escapePressed(window); };
  desktop.becameActive = notification("app.becomeActive");
  desktop.resignedActive = [this, alive] {
    if (!alive.lock()) return;
    trace("app.resignActive", "notification");
    if (services_.desktop.isActive())
      scheduleReconciliation("stale.resignActive");
    else
      externalInteraction("app.resignActive");
  };
  desktop.hidden = [this, alive] {
    if (alive.lock()) externalInteraction("app.hidden");
  };
  desktop.willTerminate = [this, alive] {
    if (!alive.lock()) return;
    terminating_ = true;
    presentationTarget_ = Target::none;
    ++requestGeneration_;
    clearRequestFields();
    trace("app.terminate", "notification");
  };
  desktop.windowBecameKey = [this, alive](const KeyWindow& window) {
    if (alive.lock()) windowBecameKey(window);
  };
  desktop.screensChanged = [this, alive] {
    if (alive.lock()) screensChanged();
  };
  observers_.push_back(services_.desktop.observe(std::move(desktop)));

  PanelWindowHandlers panel;
  panel.closeRequested = [this, alive] {
    if (alive.lock() && !terminating_) request(Target::none, "user.panel.close");
  };
  panel.willClose = notification("panel.willClose");
  panel.becameKey = notification("panel.didBecomeKey");
  panel.resignedKey = notification("panel.didResignKey");
  panel.occlusionChanged = notification("panel.occlusion");
  observers_.push_back(services_.window->observe(std::move(panel)));
}

bool FlowWindowController::escapePressed(WindowId window) {
  // Only the panel's and the history window's own keys: another window's Escape is its own.
  if (window == 0 || (window != services_.window->id() && window != historyWindowId())) return false;
  if (presentationTarget_ != Target::panel && !services_.window->isVisible()) return false;
  request(Target::none, "user.escape");
  return true;
}

void FlowWindowController::windowBecameKey(const KeyWindow& window) {
  if (isForeignTitledKey(window)) {
    if (presentationTarget_ != Target::panel || windowed_)
      clearRequestFields();
    else
      request(Target::none, "other.titled.key");
  }
  trace("window.key", "notification");
  scheduleReconciliation("window.key");
}

void FlowWindowController::screensChanged() {
  if (lastScreen_ && !screenWithId(lastScreen_->id)) {
    lastScreen_.reset();
    lastAnchor_.reset();
  }
  placementDirty_ = true;
  trace("screen.changed", "notification");
  scheduleReconciliation("screen.changed");
}

// Diagnostics

void FlowWindowController::trace(const std::string& event, const std::string& reason) {
  if (!services_.traceFile) return;
  auto history = historyWindow_ ? historyWindow_->window() : std::nullopt;
  PanelWindow& window = *services_.window;
  TraceLine line{services_.clock.uptime(),
                 event,
                 reason,
                 requestGeneration_,
                 std::string(rawValue(presentationTarget_)),
                 operationDepth_,
                 reconciling_,
                 services_.desktop.isActive(),
                 window.hidesOnDeactivate(),
                 keyWindowName(services_.desktop.keyWindow()),
                 window.isVisible(),
                 window.isKey(),
                 monitor_.panelVisible(),
                 history && history->visible,
                 history && history->miniaturized,
                 history && history->key};
  appendTraceLine(*services_.traceFile, line);
}

void FlowWindowController::recordLayout(const std::optional<std::string>& menuTitle) {
  writeProbe(menuTitle);
}

void FlowWindowController::writeProbe(const std::optional<std::string>& menuTitle) {
  if (!services_.probeFile) return;
  PanelWindow& window = *services_.window;
  auto screen = screenWithId(window.screen());
  if (!screen) screen = lastScreen_ ? screenWithId(lastScreen_->id) : std::nullopt;
  if (!screen) screen = services_.desktop.mainScreen();
  auto history = historyWindow_ ? historyWindow_->window() : std::nullopt;
  LayoutProbe probe{services_.version,
                    screen,
                    window.frame(),
                    window.layout(),
                    std::string(rawValue(presentationTarget_)),
                    requestGeneration_,
                    historyWindow_ && historyWindow_->isPresented(),
                    history && history->visible,
                    history && history->miniaturized,
                    requestedSize_,
                    menuTitle,
                    lastAnchor_,
                    services_.clock.now()};
  writeLayoutProbe(*services_.probeFile, probe, monitor_);
}

}  // namespace wattline
