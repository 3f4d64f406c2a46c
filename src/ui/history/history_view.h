// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "history/history_explorer_model.h"
#include "power/power_monitor.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QToolButton;
class QVBoxLayout;

namespace wattline {

class HistoryExactTimePopover;
class HistoryHelpPopover;
class HistoryPopover;
class HistoryPowerChart;
class HistoryTablePopover;

// The history window's content, top to bottom: header with tools, span choice, error banner, summary
// metrics, status row, the power chart with its tools, the selected-second card, the apps' energy, the
// seven-day overview and a footer. Below 780 points of height the apps' energy, and below 540 the
// overview, move into popovers behind footer buttons.
class HistoryView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int minimumWidth = 600, minimumHeight = 468, compactBelow = 540, appsBelow = 780;

  HistoryView(PowerMonitor& monitor, HistoryExplorerModel& model, bool demonstration,
              QWidget* parent = nullptr);
  ~HistoryView() override;

  bool compact() const { return compact_; }
  // Brings every text and control in line with the model and the monitor. Changes arrive in bursts,
  // so they are gathered into one call on the next turn of the event loop.
  void sync();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildHeader(QVBoxLayout* root, bool demonstration);
  void buildSpanRow(QVBoxLayout* root);
  void buildBanner(QVBoxLayout* root);
  void buildMetrics(QVBoxLayout* root);
  void buildStatusRow(QVBoxLayout* root);
  void buildChart(QVBoxLayout* root);
  void buildChartTools(QVBoxLayout* root);
  void buildCard(QVBoxLayout* root);
  void buildApps(QVBoxLayout* root);
  void buildOverview(QVBoxLayout* root);
  void buildFooter(QVBoxLayout* root);
  void syncSpanRow();
  void syncCard();
  void scheduleSync();
  void setCompact(bool compact);

  PowerMonitor& monitor_;
  HistoryExplorerModel& model_;
  bool syncScheduled_ = false;
  bool compact_ = false;
  std::optional<bool> showsFollowing_;

  QButtonGroup* spans_;
  QToolButton* latestButton_;
  QWidget* banner_;
  QLabel* bannerText_;
  QLabel *average_, *peak_, *energy_, *coverage_;
  QLabel* range_;
  QProgressBar* loadingIndicator_;
  HistoryPowerChart* chart_;
  QWidget* notice_;
  QLabel *noticeTitle_, *noticeDetail_;
  QToolButton *back_, *forward_, *zoomOut_, *zoomIn_;
  QLabel* cursor_;
  QProgressBar* locatingIndicator_;
  QToolButton *previousSecond_, *nextSecond_;
  std::array<QLabel*, 4> readings_;
  QHBoxLayout* statusLine_;
  std::vector<QLabel*> statusItems_;
  QWidget* overviewSection_;
  QLabel* gapNote_;
  QToolButton* overviewButton_;
  QWidget* appSection_;
  QToolButton* appsButton_;
  HistoryPopover* appsPopover_;
  HistoryExactTimePopover* exactPopover_;
  HistoryTablePopover* tablePopover_;
  HistoryHelpPopover* helpPopover_;
  HistoryPopover* overviewPopover_;

  int modelSubscription_;
  int monitorSubscription_;
};

}  // namespace wattline
