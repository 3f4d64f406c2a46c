// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/qt_app_windows.h"

#include <QWidget>

#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_panel_window.h"
#include "platform/qt/tray_host_chooser.h"
#include "ui/history/history_window_controller.h"

namespace wattline {

namespace {

// The history window's controller as the panel's controller sees it.
class HistoryWindowPresenter : public HistoryPresenter {
 public:
  HistoryWindowPresenter(PowerMonitor& monitor, Scheduler& scheduler, HistoryCallbacks callbacks)
      : controller_(monitor, scheduler, std::move(callbacks.onPresent), std::move(callbacks.onClose),
                    std::move(callbacks.onObservation)) {}

  bool isPresented() const override { return controller_.isPresented(); }
  std::optional<HistoryWindowState> window() const override {
    const QWidget* window = controller_.window();
    if (!window) return std::nullopt;
    const bool shown = window->isVisible();
    return HistoryWindowState{windowId(window), shown && !window->isMinimized(),
                              shown && window->isMinimized(), window->isActiveWindow()};
  }
  bool coordinatedPresent(std::uint64_t generation, bool restoreMinimized, bool focus) override {
    return controller_.coordinatedPresent(generation, restoreMinimized, focus);
  }
  bool coordinatedSuspend(std::uint64_t generation) override {
    return controller_.coordinatedSuspend(generation);
  }

 private:
  HistoryWindowController controller_;
};

}  // namespace

std::unique_ptr<TrayHost> QtAppWindows::makeTray() {
  return std::make_unique<TrayHostChooser>();
}

std::unique_ptr<PanelWindow> QtAppWindows::makePanelWindow() {
  auto panel = std::make_unique<QtPanelWindow>();
  panel_ = panel.get();
  return panel;
}

void QtAppWindows::fillPanel(PowerMonitor& monitor, PanelActions actions) {
  // A panel that is never opened builds none of its widgets.
  panel_->setContentMaker([this, &monitor, actions = std::move(actions)] {
    return new FlowPanel(monitor, environment_, false, false, actions);
  });
}

std::unique_ptr<HistoryPresenter> QtAppWindows::makeHistory(PowerMonitor& monitor,
                                                            HistoryCallbacks callbacks) {
  return std::make_unique<HistoryWindowPresenter>(monitor, scheduler_, std::move(callbacks));
}

}  // namespace wattline
