// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPixmap>
#include <QWidget>

#include "history/history_explorer_model.h"

namespace wattline {

// The large chart of the visible window: value grid and time labels, the summary's ranges, gaps and
// average curve, a dashed cursor on the selected second and a marker on its power. Hovering or dragging
// selects a second; with keyboard focus the arrow keys step (left, right) and zoom (up, down).
class HistoryPowerChart : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryPowerChart(HistoryExplorerModel& model, QWidget* parent = nullptr);
  ~HistoryPowerChart() override;

  HistoryExplorerModel& model() const { return model_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // What the cached drawing was made for: a new summary, window, size or scale draws anew.
  struct DrawingKey {
    std::uint64_t summary = 0;
    std::int64_t start = 0, end = 0;
    int width = 0, height = 0;
    double scale = 0;
    bool operator==(const DrawingKey&) const = default;
  };

  void selectAt(double x);

  HistoryExplorerModel& model_;
  int subscription_;
  // Hovering moves the cursor on every pointer movement while the summary stays: its drawing (grid,
  // washes, ranges, curve, time labels) is kept and only the cursor and marker are drawn each time.
  QPixmap drawing_;
  DrawingKey drawingKey_;
  std::uint64_t summaryRevision_ = 1;
};

}  // namespace wattline
