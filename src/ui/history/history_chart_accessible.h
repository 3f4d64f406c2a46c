// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAccessibleWidget>

namespace wattline {

class HistoryPowerChart;

// The power chart as one accessible element: named after the cursor, valued by the selected power,
// with a usage hint and four named actions that step and zoom like the arrow keys.
class HistoryChartAccessible : public QAccessibleWidget {
 public:
  static const QString previousSecond, nextSecond, zoomIn, zoomOut;

  explicit HistoryChartAccessible(HistoryPowerChart* chart);
  // Registers the factory that gives every HistoryPowerChart this interface; safe to call repeatedly.
  static void install();

  QString text(QAccessible::Text kind) const override;
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QStringList actionNames() const override;
  QString localizedActionDescription(const QString& name) const override;
  void doAction(const QString& name) override;

 private:
  HistoryPowerChart* chart() const;
};

}  // namespace wattline
