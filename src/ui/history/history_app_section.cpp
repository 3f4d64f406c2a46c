// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_app_section.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/history/history_app_energy.h"
#include "ui/history/history_widgets.h"
#include "ui/style/qt_color.h"

namespace wattline {

namespace {

namespace Widgets = HistoryWidgets;
using Weight = Fonts::Weight;

constexpr int kRows = static_cast<int>(kRankedApps) + 1;  // the top apps and the unbilled energy

QLabel* value(QWidget* parent) {
  QLabel* label = Widgets::label({}, 12, Weight::regular, SystemColors::label, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

HistoryAppSection::HistoryAppSection(HistoryExplorerModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("appSection"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  auto* header = new QHBoxLayout;
  header->addWidget(Widgets::label(QStringLiteral("应用耗电"), Widgets::headlinePoints, Weight::semibold,
                                   SystemColors::label, this));
  header->addStretch(1);
  batteryOnly_ = new QCheckBox(QStringLiteral("仅电池供电时"), this);
  batteryOnly_->setObjectName(QStringLiteral("batteryOnly"));
  batteryOnly_->setFont(Fonts::system(12));
  connect(batteryOnly_, &QCheckBox::toggled, this, [this](bool on) { model_.setBatteryOnly(on); });
  header->addWidget(batteryOnly_);
  column->addLayout(header);

  empty_ = Widgets::label(QStringLiteral("此范围内没有应用耗电记录"), 12, Weight::regular,
                          SystemColors::secondaryLabel, this);
  column->addWidget(empty_);
  grid_ = new QGridLayout;
  grid_->setContentsMargins(0, 0, 0, 0);
  grid_->setHorizontalSpacing(10);
  grid_->setVerticalSpacing(1);
  grid_->setColumnStretch(0, 3);
  grid_->setColumnStretch(3, 2);
  for (int i = 0; i < kRows; ++i) {
    Row row{new QPushButton(this), value(this), value(this), new QProgressBar(this), value(this)};
    row.name->setFont(Fonts::system(12));
    row.name->setFlat(true);
    row.name->setCheckable(true);
    row.name->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row.name->setStyleSheet(
        QStringLiteral("QPushButton { text-align: left; padding: 1px 4px; border: none; }"
                       "QPushButton:checked { background: rgba(0, 0, 0, 20); border-radius: 4px; }"));
    row.bar->setRange(0, 1000);
    row.bar->setTextVisible(false);
    row.bar->setFixedHeight(6);
    connect(row.name, &QPushButton::clicked, this, [this, i] {
      if (static_cast<std::size_t>(i) < apps_.size() && !apps_[i].empty()) model_.selectApp(apps_[i]);
    });
    grid_->addWidget(row.name, i, 0);
    grid_->addWidget(row.energy, i, 1);
    grid_->addWidget(row.share, i, 2);
    grid_->addWidget(row.bar, i, 3);
    grid_->addWidget(row.power, i, 4);
    rows_.push_back(row);
  }
  column->addLayout(grid_);
  subscription_ = model_.subscribe([this](HistoryExplorerModel::Field field) {
    if (field == HistoryExplorerModel::Field::apps || field == HistoryExplorerModel::Field::appPower) sync();
  });
  sync();
}

HistoryAppSection::~HistoryAppSection() {
  model_.unsubscribe(subscription_);
}

void HistoryAppSection::sync() {
  const std::vector<HistoryAppEnergy::Line> lines =
      HistoryAppEnergy::lines(model_.apps(), model_.selectedApp());
  batteryOnly_->setChecked(model_.batteryOnly());
  empty_->setVisible(lines.empty());
  apps_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    const bool shown = i < lines.size();
    for (QWidget* widget :
         {static_cast<QWidget*>(row.name), static_cast<QWidget*>(row.energy),
          static_cast<QWidget*>(row.share), static_cast<QWidget*>(row.bar), static_cast<QWidget*>(row.power)})
      widget->setVisible(shown);
    if (!shown) continue;
    const HistoryAppEnergy::Line& line = lines[i];
    apps_.push_back(line.app);
    row.name->setText(QStringLiteral("● ") + QString::fromStdString(line.name));
    row.name->setChecked(line.selected);
    row.name->setEnabled(!line.app.empty());
    row.name->setToolTip(line.app.empty() ? QStringLiteral("空闲功耗、内核线程与两次采样之间结束的进程")
                                          : QStringLiteral("在图中显示它每分钟的功率"));
    QPalette colours = row.name->palette();
    colours.setColor(QPalette::ButtonText, toQColor(line.color));
    colours.setColor(QPalette::Disabled, QPalette::ButtonText, toQColor(line.color));
    row.name->setPalette(colours);
    row.energy->setText(QString::fromStdString(line.energy));
    row.share->setText(QString::fromStdString(line.share));
    row.bar->setValue(static_cast<int>(line.bar * 1000));
    row.bar->setVisible(!line.app.empty());
    row.power->setText(QString::fromStdString(line.power));
  }
}

}  // namespace wattline
