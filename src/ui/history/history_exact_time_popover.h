// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "history/history_explorer_model.h"
#include "ui/history/history_popover.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace wattline {

// Seeks an exact second typed with its UTC offset. An unreadable text keeps the popover open and says
// what the text needs.
class HistoryExactTimePopover : public HistoryPopover {
  Q_OBJECT

 public:
  HistoryExactTimePopover(HistoryExplorerModel& model, QWidget* parent);

  // Shows the popover under `anchor`, starting from the cursor's exact time.
  void open(QWidget* anchor);
  void locate();

  QLineEdit* field() const { return field_; }
  QLabel* error() const { return error_; }

 private:
  HistoryExplorerModel& model_;
  QLineEdit* field_;
  QLabel* error_;
  QPushButton* locateButton_;
};

}  // namespace wattline
