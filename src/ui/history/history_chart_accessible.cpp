// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_chart_accessible.h"

#include "base/power_snapshot.h"
#include "history/history_time.h"
#include "ui/history/history_power_chart.h"

namespace wattline {

const QString HistoryChartAccessible::previousSecond = QStringLiteral("前一秒");
const QString HistoryChartAccessible::nextSecond = QStringLiteral("后一秒");
const QString HistoryChartAccessible::zoomIn = QStringLiteral("放大");
const QString HistoryChartAccessible::zoomOut = QStringLiteral("缩小");

namespace {

QAccessibleInterface* chartFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(HistoryPowerChart::staticMetaObject.className()))
    if (auto* chart = qobject_cast<HistoryPowerChart*>(object)) return new HistoryChartAccessible(chart);
  return nullptr;
}

}  // namespace

HistoryChartAccessible::HistoryChartAccessible(HistoryPowerChart* chart)
    : QAccessibleWidget(chart, QAccessible::Chart) {}

void HistoryChartAccessible::install() {
  static const bool installed = (QAccessible::installFactory(chartFactory), true);
  (void)installed;
}

HistoryPowerChart* HistoryChartAccessible::chart() const {
  return static_cast<HistoryPowerChart*>(widget());
}

QString HistoryChartAccessible::text(QAccessible::Text kind) const {
  const HistoryExplorerModel& model = chart()->model();
  const std::optional<HistorySecond> row = model.selectedRow();
  switch (kind) {
    case QAccessible::Name:
      return QStringLiteral("功耗曲线，游标 ") +
             QString::fromStdString(HistoryTime::label(model.navigation().selected));
    case QAccessible::Value:
      return QString::fromStdString(
          precisePowerReading(row ? row->watts : std::nullopt, row ? row->estimated : false));
    case QAccessible::Description:
    case QAccessible::Help:
      return QStringLiteral("鼠标悬停或拖动定位。聚焦后左右方向键逐秒移动，上下方向键缩放。");
    default:
      return QAccessibleWidget::text(kind);
  }
}

QStringList HistoryChartAccessible::actionNames() const {
  return {previousSecond, nextSecond, zoomIn, zoomOut};
}

QString HistoryChartAccessible::localizedActionDescription(const QString& name) const {
  return name;
}

void HistoryChartAccessible::doAction(const QString& name) {
  HistoryExplorerModel& model = chart()->model();
  if (name == previousSecond)
    model.step(-1);
  else if (name == nextSecond)
    model.step(1);
  else if (name == zoomIn)
    model.zoom(0.5);
  else if (name == zoomOut)
    model.zoom(2);
}

}  // namespace wattline
