// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_popover.h"

#include <QScreen>
#include <QVBoxLayout>

#include "ui/history/history_widgets.h"
#include "ui/style/qt_color.h"

namespace wattline {

namespace {

constexpr int kGap = 6;

}  // namespace

HistoryPopover::HistoryPopover(QWidget* parent, int width) : QFrame(parent, Qt::Popup) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, toQColor(SystemColors::controlBackground));
  setPalette(colours);
  if (width > 0) setFixedWidth(width);
  content_ = new QVBoxLayout(this);
  content_->setContentsMargins(14, 12, 14, 12);
  content_->setSpacing(8);
}

void HistoryPopover::addHeadline(const QString& text) {
  content_->addWidget(HistoryWidgets::label(text, HistoryWidgets::headlinePoints, Fonts::Weight::semibold,
                                            SystemColors::label, this));
}

void HistoryPopover::showUnder(QWidget* anchor) {
  adjustSize();
  // A window does not ask its layout for the height of wrapped text at its width.
  if (content_->hasHeightForWidth()) resize(width(), content_->totalHeightForWidth(width()));
  const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height() + kGap));
  QRect frame(QPoint(below.x() - width() / 2, below.y()), size());
  if (const QScreen* screen = anchor->screen()) {
    const QRect area = screen->availableGeometry();
    frame.moveLeft(
        std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
    if (frame.bottom() > area.bottom()) frame.moveBottom(anchor->mapToGlobal(QPoint(0, -kGap)).y());
  }
  move(frame.topLeft());
  show();
}

}  // namespace wattline
