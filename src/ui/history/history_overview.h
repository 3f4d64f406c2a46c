// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <cstdint>

#include "history/history_explorer_model.h"

class QSlider;
class QSpacerItem;
class QVBoxLayout;

namespace wattline {

// The strip of the whole retained week with the visible window on it. Dragging on the strip centres the
// window under the pointer.
class HistoryOverviewStrip : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryOverviewStrip(HistoryExplorerModel& model, QWidget* parent = nullptr);
  ~HistoryOverviewStrip() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  HistoryExplorerModel& model_;
  int subscription_;
};

// The seven-day overview: the strip and, below it, a slider over the possible window centres; at the
// whole week, where the window cannot move, a spacer of the slider's height keeps the layout.
class HistoryOverview : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryOverview(HistoryExplorerModel& model, QWidget* parent = nullptr);
  ~HistoryOverview() override;

  QSlider* slider() const { return slider_; }

 private:
  void sync();

  HistoryExplorerModel& model_;
  QVBoxLayout* stack_;
  QSlider* slider_;
  QSpacerItem* spacer_;
  // The slider works in int: its values are seconds after this one, the oldest retained second when
  // the slider was last set.
  std::int64_t sliderBase_ = 0;
  bool spacerShown_ = false;
  int subscription_;
};

}  // namespace wattline
