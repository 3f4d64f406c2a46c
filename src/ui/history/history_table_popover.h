// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "history/history_explorer_model.h"
#include "ui/history/history_popover.h"

class QGridLayout;
class QLabel;

namespace wattline {

// The stored readings of the eleven seconds around the cursor (fewer at the ends of the week).
class HistoryTablePopover : public HistoryPopover {
  Q_OBJECT

 public:
  HistoryTablePopover(HistoryExplorerModel& model, QWidget* parent);
  ~HistoryTablePopover() override;

  void open(QWidget* anchor);
  // Lines of readings shown, without the header.
  int rowCount() const { return rowCount_; }

 private:
  void sync();

  HistoryExplorerModel& model_;
  QLabel* cursor_;
  QGridLayout* grid_;
  int rowCount_ = 0;
  int subscription_;
};

}  // namespace wattline
