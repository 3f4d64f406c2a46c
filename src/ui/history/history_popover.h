// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFrame>

class QVBoxLayout;

namespace wattline {

// A small popup window anchored under the button that opened it; a click outside closes it.
class HistoryPopover : public QFrame {
  Q_OBJECT

 public:
  explicit HistoryPopover(QWidget* parent, int width = 0);

  // Centred under `anchor`, kept on the anchor's screen.
  void showUnder(QWidget* anchor);

 protected:
  QVBoxLayout* content() const { return content_; }
  // A headline at the top of the popover.
  void addHeadline(const QString& text);

 private:
  QVBoxLayout* content_;
};

}  // namespace wattline
