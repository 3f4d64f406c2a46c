// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_widgets.h"

#include <QVBoxLayout>

#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline::HistoryWidgets {

QLabel* label(const QString& text, double points, Fonts::Weight weight, StyleColor color, QWidget* parent) {
  auto* result = new QLabel(text, parent);
  result->setFont(Fonts::system(points, weight));
  setColor(result, color);
  return result;
}

void setColor(QLabel* label, StyleColor color) {
  QPalette palette = label->palette();
  const QColor wanted = toQColor(color);
  if (palette.color(QPalette::WindowText) == wanted && label->testAttribute(Qt::WA_SetPalette)) return;
  palette.setColor(QPalette::WindowText, wanted);
  label->setPalette(palette);
}

QToolButton* button(std::string_view symbol, const QString& title, const QString& help,
                    const QString& accessibleName, QWidget* parent) {
  auto* result = new QToolButton(parent);
  result->setIcon(Symbols::icon(symbol, toQColor(SystemColors::label), 16));
  result->setIconSize(QSize(16, 16));
  result->setFont(Fonts::system(12));
  if (!title.isEmpty()) {
    result->setText(title);
    result->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  }
  result->setToolTip(help);
  result->setAccessibleName(accessibleName.isEmpty() ? title : accessibleName);
  result->setFocusPolicy(Qt::TabFocus);
  return result;
}

QProgressBar* busyIndicator(QWidget* parent) {
  auto* result = new QProgressBar(parent);
  result->setRange(0, 0);
  result->setTextVisible(false);
  result->setFixedSize(36, 6);
  result->setAccessibleName(QStringLiteral("正在读取"));
  result->hide();
  return result;
}

QLabel* metric(const QString& caption, StyleColor valueColor, QWidget* parent, QBoxLayout* into) {
  auto* column = new QVBoxLayout;
  column->setSpacing(2);
  column->addWidget(label(caption, 12, Fonts::Weight::regular, SystemColors::secondaryLabel, parent));
  QLabel* value = label(QStringLiteral("—"), 16, Fonts::Weight::semibold, valueColor, parent);
  column->addWidget(value);
  into->addLayout(column, 1);
  return value;
}

}  // namespace wattline::HistoryWidgets
