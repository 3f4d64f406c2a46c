// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/app_delegate.h"
#include "ui/panel/flow_panel.h"

namespace wattline {

class QtPanelWindow;

// The tray item, the panel with its content and the history window on Qt.
class QtAppWindows : public AppWindows {
 public:
  QtAppWindows(FlowPanelEnvironment environment, Scheduler& scheduler)
      : environment_(environment), scheduler_(scheduler) {}

  std::unique_ptr<TrayHost> makeTray() override;
  std::unique_ptr<PanelWindow> makePanelWindow() override;
  void fillPanel(PowerMonitor& monitor, PanelActions actions) override;
  std::unique_ptr<HistoryPresenter> makeHistory(PowerMonitor& monitor, HistoryCallbacks callbacks) override;

 private:
  FlowPanelEnvironment environment_;
  Scheduler& scheduler_;
  // Owned by the presentation controller once made.
  QtPanelWindow* panel_ = nullptr;
};

}  // namespace wattline
