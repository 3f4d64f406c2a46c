// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/date.h"
#include "history/history_explorer_model.h"
#include "platform/scheduler.h"
#include "power/power_monitor.h"

class QWidget;

namespace wattline {

class HistoryWindow;

// Owns the history window and its explorer, and maps the window's events (closed, minimised, restored,
// activated, exposed) to the explorer's visibility: the explorer is live exactly while the window is on
// screen and not minimised. Every window event is reported to the owner, which co-ordinates the panel
// and this window; the window survives closing and is shown again by the next present.
class HistoryWindowController : public QObject {
  Q_OBJECT

 public:
  // (event, operationGeneration at that moment, whether the controller itself is closing the window)
  using Observation =
      std::function<void(const std::string& event, std::uint64_t generation, bool programmatic)>;

  // The explorer reads the monitor's history store on `scheduler`; `currentDate` is its wall clock
  // (the system's by default). Creating the controller does not show the window.
  HistoryWindowController(PowerMonitor& monitor, Scheduler& scheduler, std::function<void()> onPresent,
                          std::function<void()> onClose, Observation onObservation,
                          std::function<Date()> currentDate = {});
  ~HistoryWindowController() override;

  // With an owner's onPresent, asks the owner; otherwise shows, restores and focuses the window.
  void present();
  // With an owner's onClose, asks the owner; otherwise closes the window.
  void suspend();
  // Shows the window for `generation`; true when anything changed. A minimised window stays in the
  // taskbar unless `restoreMinimized`.
  bool coordinatedPresent(std::uint64_t generation, bool restoreMinimized, bool focus);
  // Closes the window for `generation`; true when it was up.
  bool coordinatedSuspend(std::uint64_t generation);

  bool isPresented() const { return documentPresented_; }
  QWidget* window() const;
  int programmaticCloseDepth() const { return programmaticCloseDepth_; }
  std::uint64_t operationGeneration() const { return operationGeneration_; }
  HistoryExplorerModel& explorer() { return *explorer_; }

 private:
  friend class HistoryWindow;
  void report(const char* event);
  bool miniaturized() const;
  bool onScreen() const;
  void syncExplorer();
  // The window's own events.
  void shouldClose();
  void willClose();
  void didMiniaturize();
  void didDeminiaturize();

  std::function<void()> onPresent_;
  std::function<void()> onClose_;
  Observation onObservation_;
  int programmaticCloseDepth_ = 0;
  std::uint64_t operationGeneration_ = 0;
  bool documentPresented_ = false;
  PowerMonitor& monitor_;
  int monitorObserver_ = -1;
  std::unique_ptr<HistoryExplorerModel> explorer_;
  // Declared after the explorer, so the view that observes it goes first.
  std::unique_ptr<HistoryWindow> window_;
};

}  // namespace wattline
