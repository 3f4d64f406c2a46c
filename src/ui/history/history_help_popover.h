// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ui/history/history_popover.h"

namespace wattline {

// How to read the chart and its numbers.
class HistoryHelpPopover : public HistoryPopover {
  Q_OBJECT

 public:
  explicit HistoryHelpPopover(QWidget* parent);
};

}  // namespace wattline
