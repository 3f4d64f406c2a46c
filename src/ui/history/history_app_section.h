// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>
#include <vector>

#include "history/history_explorer_model.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace wattline {

// The window's "应用耗电" section: the apps with the most energy in the visible range, each with its Wh, its
// share, a bar and its average power, the unbilled energy last, and a switch for the minutes on battery.
// Choosing an app has the chart draw its power; choosing it again takes it away.
class HistoryAppSection : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryAppSection(HistoryExplorerModel& model, QWidget* parent = nullptr);
  ~HistoryAppSection() override;
  void sync();

 private:
  struct Row {
    QPushButton* name;
    QLabel* energy;
    QLabel* share;
    QProgressBar* bar;
    QLabel* power;
  };

  HistoryExplorerModel& model_;
  QCheckBox* batteryOnly_;
  QLabel* empty_;
  QGridLayout* grid_;
  std::vector<Row> rows_;
  // The app of each shown row, for the clicks.
  std::vector<std::string> apps_;
  int subscription_;
};

}  // namespace wattline
