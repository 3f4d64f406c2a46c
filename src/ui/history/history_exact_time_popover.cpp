// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_exact_time_popover.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "history/history_time.h"
#include "ui/history/history_widgets.h"

namespace wattline {

HistoryExactTimePopover::HistoryExactTimePopover(HistoryExplorerModel& model, QWidget* parent)
    : HistoryPopover(parent), model_(model) {
  addHeadline(QStringLiteral("精确定位到秒"));
  content()->addWidget(HistoryWidgets::label(QStringLiteral("含 UTC 偏移，夏令时重复小时也能区分。"),
                                             HistoryWidgets::captionPoints, Fonts::Weight::regular,
                                             SystemColors::secondaryLabel, this));
  field_ = new QLineEdit(this);
  field_->setFixedWidth(290);
  field_->setFont(Fonts::system(13));
  field_->setPlaceholderText(QStringLiteral("yyyy-MM-dd HH:mm:ss +0100"));
  field_->setAccessibleName(QStringLiteral("精确时间"));
  content()->addWidget(field_);
  error_ = HistoryWidgets::label({}, HistoryWidgets::captionPoints, Fonts::Weight::regular,
                                 SystemColors::orange, this);
  error_->hide();
  content()->addWidget(error_);
  locateButton_ = new QPushButton(QStringLiteral("定位"), this);
  locateButton_->setFont(Fonts::system(13));
  locateButton_->setDefault(true);
  content()->addWidget(locateButton_, 0, Qt::AlignRight);
  // The button is the default action: Return in the field triggers it too.
  connect(field_, &QLineEdit::returnPressed, this, &HistoryExactTimePopover::locate);
  connect(locateButton_, &QPushButton::clicked, this, &HistoryExactTimePopover::locate);
}

void HistoryExactTimePopover::open(QWidget* anchor) {
  field_->setText(QString::fromStdString(HistoryTime::label(model_.navigation().selected)));
  error_->clear();
  error_->hide();
  showUnder(anchor);
  field_->setFocus();
}

void HistoryExactTimePopover::locate() {
  const std::optional<std::int64_t> second = HistoryTime::parse(field_->text().toStdString());
  if (!second) {
    error_->setText(QStringLiteral("格式不正确，请保留日期、秒和 UTC 偏移。"));
    error_->show();
    adjustSize();
    return;
  }
  model_.seek(*second);
  close();
}

}  // namespace wattline
