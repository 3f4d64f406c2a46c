// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_table_popover.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "history/history_time.h"
#include "ui/history/history_texts.h"
#include "ui/history/history_widgets.h"

namespace wattline {

namespace {

using Field = HistoryExplorerModel::Field;

constexpr int kColumns = 5;

}  // namespace

HistoryTablePopover::HistoryTablePopover(HistoryExplorerModel& model, QWidget* parent)
    : HistoryPopover(parent), model_(model) {
  addHeadline(QStringLiteral("游标附近逐秒明细"));
  cursor_ = HistoryWidgets::label({}, 12, Fonts::Weight::regular, SystemColors::secondaryLabel, this);
  content()->addWidget(cursor_);
  grid_ = new QGridLayout;
  grid_->setHorizontalSpacing(14);
  grid_->setVerticalSpacing(3);
  const QString headers[kColumns] = {QStringLiteral("时间"), QStringLiteral("整机 W"),
                                     QStringLiteral("CPU ≈W"), QStringLiteral("GPU ≈W"),
                                     QStringLiteral("背光 W")};
  for (int column = 0; column < kColumns; ++column)
    grid_->addWidget(
        HistoryWidgets::label(headers[column], 12, Fonts::Weight::semibold, SystemColors::label, this), 0,
        column, column == 0 ? Qt::AlignLeft : Qt::AlignRight);
  content()->addLayout(grid_);
  content()->addWidget(HistoryWidgets::label(QStringLiteral("未记录或无效值显示为 —，不以零瓦补齐。"), 12,
                                             Fonts::Weight::regular, SystemColors::secondaryLabel, this));
  subscription_ = model_.subscribe([this](Field field) {
    if ((field == Field::navigation || field == Field::rows) && isVisible()) sync();
  });
}

HistoryTablePopover::~HistoryTablePopover() {
  model_.unsubscribe(subscription_);
}

void HistoryTablePopover::open(QWidget* anchor) {
  sync();
  showUnder(anchor);
}

void HistoryTablePopover::sync() {
  const HistoryNavigation& navigation = model_.navigation();
  cursor_->setText(QString::fromStdString(HistoryTime::label(navigation.selected)));
  const std::vector<HistoryTexts::TableRow> rows = HistoryTexts::tableRows(navigation, model_.rows());
  // Labels are made once per line and reused; lines beyond the rows are hidden.
  for (int line = 0; line < static_cast<int>(rows.size()) || line < rowCount_; ++line) {
    const bool shown = line < static_cast<int>(rows.size());
    for (int column = 0; column < kColumns; ++column) {
      QLayoutItem* item = grid_->itemAtPosition(line + 1, column);
      auto* cell = item ? static_cast<QLabel*>(item->widget()) : nullptr;
      if (!cell) {
        cell = HistoryWidgets::label({}, 12, Fonts::Weight::regular, SystemColors::label, this);
        grid_->addWidget(cell, line + 1, column, column == 0 ? Qt::AlignLeft : Qt::AlignRight);
      }
      cell->setVisible(shown);
      if (!shown) continue;
      const HistoryTexts::TableRow& row = rows[static_cast<std::size_t>(line)];
      cell->setText(QString::fromStdString(column == 0 ? row.time : row.readings[column - 1]));
      HistoryWidgets::setColor(cell, row.selected ? SystemColors::accent : SystemColors::label);
    }
  }
  rowCount_ = static_cast<int>(rows.size());
  adjustSize();
}

}  // namespace wattline
