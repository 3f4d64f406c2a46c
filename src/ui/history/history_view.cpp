// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_view.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "history/history_time.h"
#include "ui/history/history_app_section.h"
#include "ui/history/history_exact_time_popover.h"
#include "ui/history/history_help_popover.h"
#include "ui/history/history_overview.h"
#include "ui/history/history_power_chart.h"
#include "ui/history/history_table_popover.h"
#include "ui/history/history_texts.h"
#include "ui/history/history_widgets.h"
#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline {

namespace {

using Weight = Fonts::Weight;
namespace Widgets = HistoryWidgets;

const QString kOverviewHelp = QStringLiteral("拖动概览或滑块浏览最近七天。浅橙底为缺口，不跨缺口连接曲线。");

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

QLabel* secondary(const QString& text, QWidget* parent) {
  return Widgets::label(text, 12, Weight::regular, SystemColors::secondaryLabel, parent);
}

QString rgba(StyleColor color) {
  return toQColor(color).name(QColor::HexArgb);
}

// A rounded panel in `color` behind the widget named `name`.
void roundedPanel(QWidget* widget, const char* name, StyleColor color, int radius) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setAttribute(Qt::WA_StyledBackground);
  widget->setStyleSheet(QStringLiteral("#%1 { background: %2; border-radius: %3px; }")
                            .arg(QString::fromLatin1(name), rgba(color))
                            .arg(radius));
}

QLabel* symbolLabel(std::string_view symbol, StyleColor color, QWidget* parent) {
  auto* icon = new QLabel(parent);
  icon->setPixmap(Symbols::icon(symbol, toQColor(color), 14).pixmap(14, 14));
  return icon;
}

}  // namespace

HistoryView::HistoryView(PowerMonitor& monitor, HistoryExplorerModel& model, bool demonstration,
                         QWidget* parent)
    : QWidget(parent), monitor_(monitor), model_(model) {
  setMinimumSize(minimumWidth, minimumHeight);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, toQColor(SystemColors::windowBackground));
  setPalette(colours);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(16, 12, 16, 10);
  root->setSpacing(8);
  buildHeader(root, demonstration);
  buildSpanRow(root);
  buildBanner(root);
  buildMetrics(root);
  buildStatusRow(root);
  buildChart(root);
  buildChartTools(root);
  buildCard(root);
  buildApps(root);
  buildOverview(root);
  buildFooter(root);

  modelSubscription_ = model_.subscribe([this](HistoryExplorerModel::Field) { scheduleSync(); });
  monitorSubscription_ = monitor_.observe([this](PowerMonitor::Field field) {
    if (field == PowerMonitor::Field::historyError) scheduleSync();
  });
  sync();
  setCompact(false);
  appsButton_->hide();
}

HistoryView::~HistoryView() {
  model_.unsubscribe(modelSubscription_);
  monitor_.removeObserver(monitorSubscription_);
}

void HistoryView::buildHeader(QVBoxLayout* root, bool demonstration) {
  auto* row = new QHBoxLayout;
  row->addWidget(Widgets::label(QStringLiteral("功耗历史"), 16, Weight::semibold, SystemColors::label, this));
  if (demonstration) row->addWidget(secondary(QStringLiteral("合成演示"), this));
  row->addStretch(1);
  QToolButton* exact = Widgets::button("calendar.badge.clock", QStringLiteral("定位"),
                                       QStringLiteral("输入含 UTC 偏移的时间，精确定位到秒"), {}, this);
  exact->setObjectName(QStringLiteral("exactButton"));
  QToolButton* table = Widgets::button("tablecells", QStringLiteral("明细"), {}, {}, this);
  table->setObjectName(QStringLiteral("tableButton"));
  QToolButton* help = Widgets::button("questionmark.circle", {}, {}, QStringLiteral("读数与操作说明"), this);
  help->setObjectName(QStringLiteral("helpButton"));
  for (QToolButton* button : {exact, table, help}) row->addWidget(button);
  root->addLayout(row);

  exactPopover_ = new HistoryExactTimePopover(model_, this);
  tablePopover_ = new HistoryTablePopover(model_, this);
  helpPopover_ = new HistoryHelpPopover(this);
  connect(exact, &QToolButton::clicked, this, [this, exact] { exactPopover_->open(exact); });
  connect(table, &QToolButton::clicked, this, [this, table] { tablePopover_->open(table); });
  connect(help, &QToolButton::clicked, this, [this, help] { helpPopover_->showUnder(help); });
}

void HistoryView::buildSpanRow(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  auto* picker = new QWidget(this);
  picker->setObjectName(QStringLiteral("spanPicker"));
  picker->setAccessibleName(QStringLiteral("历史时间范围"));
  picker->setStyleSheet(
      QStringLiteral("QToolButton { background: %1; border: 1px solid %2; padding: 3px 12px; }"
                     "QToolButton:checked { background: %3; color: white; border-color: %3; }")
          .arg(rgba(SystemColors::controlBackground), rgba(SystemColors::separator),
               rgba(SystemColors::accent)));
  auto* segments = new QHBoxLayout(picker);
  segments->setContentsMargins(0, 0, 0, 0);
  segments->setSpacing(0);
  spans_ = new QButtonGroup(this);
  for (std::int64_t span : HistoryNavigation::presets) {
    auto* option = new QToolButton(picker);
    option->setText(qs(HistoryNavigation::label(span)));
    option->setFont(Fonts::system(12));
    option->setCheckable(true);
    segments->addWidget(option);
    spans_->addButton(option, static_cast<int>(span));
  }
  connect(spans_, &QButtonGroup::idClicked, this, [this](int span) { model_.chooseSpan(span); });
  row->addWidget(picker);
  row->addStretch(1);
  QToolButton* reload =
      Widgets::button("arrow.clockwise", {}, QStringLiteral("刷新当前时段，不改变旧时段的位置"),
                      QStringLiteral("刷新当前时段"), this);
  connect(reload, &QToolButton::clicked, this, [this] { model_.reload(); });
  row->addWidget(reload);
  latestButton_ = Widgets::button("dot.radiowaves.left.and.right", QStringLiteral("最新"), {}, {}, this);
  latestButton_->setObjectName(QStringLiteral("latestButton"));
  connect(latestButton_, &QToolButton::clicked, this, [this] { model_.latest(); });
  row->addWidget(latestButton_);
  root->addLayout(row);
}

void HistoryView::buildBanner(QVBoxLayout* root) {
  banner_ = new QWidget(this);
  roundedPanel(banner_, "errorBanner", SystemColors::controlBackground, 6);
  auto* row = new QHBoxLayout(banner_);
  row->setContentsMargins(12, 8, 12, 8);
  row->addWidget(symbolLabel("exclamationmark.triangle", SystemColors::orange, banner_));
  bannerText_ = Widgets::label({}, 12, Weight::regular, SystemColors::orange, banner_);
  bannerText_->setWordWrap(true);
  // Two lines at most; the whole message is in the tooltip.
  bannerText_->setMaximumHeight(bannerText_->fontMetrics().lineSpacing() * 2);
  row->addWidget(bannerText_, 1);
  auto* retry = new QToolButton(banner_);
  retry->setText(QStringLiteral("重试"));
  retry->setFont(Fonts::system(12));
  connect(retry, &QToolButton::clicked, this, [this] { model_.reload(); });
  row->addWidget(retry);
  root->addWidget(banner_);
}

void HistoryView::buildMetrics(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  row->setSpacing(16);
  average_ = Widgets::metric(QStringLiteral("平均"), SystemColors::label, this, row);
  peak_ = Widgets::metric(QStringLiteral("峰值"), SystemColors::label, this, row);
  energy_ = Widgets::metric(QStringLiteral("已覆盖耗电"), SystemColors::label, this, row);
  coverage_ = Widgets::metric(QStringLiteral("覆盖"), SystemColors::label, this, row);
  average_->setObjectName(QStringLiteral("averageValue"));
  peak_->setObjectName(QStringLiteral("peakValue"));
  energy_->setObjectName(QStringLiteral("energyValue"));
  coverage_->setObjectName(QStringLiteral("coverageValue"));
  root->addLayout(row);
}

void HistoryView::buildStatusRow(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  row->addWidget(Widgets::label(QStringLiteral("整机功率"), 12, Weight::semibold, SystemColors::label, this));
  range_ = secondary({}, this);
  range_->setObjectName(QStringLiteral("rangeLabel"));
  row->addWidget(range_);
  loadingIndicator_ = Widgets::busyIndicator(this);
  row->addWidget(loadingIndicator_);
  row->addStretch(1);
  root->addLayout(row);
}

void HistoryView::buildChart(QVBoxLayout* root) {
  auto* area = new QWidget(this);
  auto* stack = new QGridLayout(area);
  stack->setContentsMargins(0, 0, 0, 0);
  chart_ = new HistoryPowerChart(model_, area);
  stack->addWidget(chart_, 0, 0);
  notice_ = new QWidget(area);
  roundedPanel(notice_, "chartNotice", SystemColors::controlBackground.opacity(0.85), 10);
  notice_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* texts = new QVBoxLayout(notice_);
  texts->setContentsMargins(16, 10, 16, 10);
  noticeTitle_ = Widgets::label({}, 14, Weight::medium, SystemColors::label, notice_);
  noticeDetail_ = secondary({}, notice_);
  texts->addWidget(noticeTitle_, 0, Qt::AlignHCenter);
  texts->addWidget(noticeDetail_, 0, Qt::AlignHCenter);
  stack->addWidget(notice_, 0, 0, Qt::AlignCenter);
  root->addWidget(area, 1);
}

void HistoryView::buildChartTools(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  back_ =
      Widgets::button("chevron.left", {}, QStringLiteral("前移半个时段"), QStringLiteral("前移时段"), this);
  forward_ =
      Widgets::button("chevron.right", {}, QStringLiteral("后移半个时段"), QStringLiteral("后移时段"), this);
  zoomOut_ = Widgets::button("minus.magnifyingglass", {}, QStringLiteral("围绕游标缩小"),
                             QStringLiteral("缩小时间范围"), this);
  zoomIn_ = Widgets::button("plus.magnifyingglass", {}, QStringLiteral("围绕游标放大"),
                            QStringLiteral("放大时间范围"), this);
  // Half a window each way; at least one second.
  auto half = [this] { return std::max<std::int64_t>(model_.navigation().span / 2, 1); };
  connect(back_, &QToolButton::clicked, this, [this, half] { model_.pan(-half()); });
  connect(forward_, &QToolButton::clicked, this, [this, half] { model_.pan(half()); });
  connect(zoomOut_, &QToolButton::clicked, this, [this] { model_.zoom(2); });
  connect(zoomIn_, &QToolButton::clicked, this, [this] { model_.zoom(0.5); });
  row->addWidget(back_);
  row->addWidget(forward_);
  row->addWidget(secondary(QStringLiteral("拖动曲线查看每秒读数"), this));
  row->addStretch(1);
  row->addWidget(zoomOut_);
  row->addWidget(zoomIn_);
  root->addLayout(row);
}

void HistoryView::buildCard(QVBoxLayout* root) {
  auto* card = new QWidget(this);
  roundedPanel(card, "secondCard", SystemColors::controlBackground, 8);
  auto* column = new QVBoxLayout(card);
  column->setContentsMargins(12, 8, 12, 8);
  column->setSpacing(6);

  auto* top = new QHBoxLayout;
  cursor_ = Widgets::label({}, 12, Weight::regular, SystemColors::label, card);
  cursor_->setObjectName(QStringLiteral("cursorLabel"));
  top->addWidget(cursor_);
  locatingIndicator_ = Widgets::busyIndicator(card);
  top->addWidget(locatingIndicator_);
  top->addStretch(1);
  previousSecond_ =
      Widgets::button("chevron.left", {}, QStringLiteral("前一秒"), QStringLiteral("前一秒"), card);
  nextSecond_ =
      Widgets::button("chevron.right", {}, QStringLiteral("后一秒"), QStringLiteral("后一秒"), card);
  previousSecond_->setObjectName(QStringLiteral("previousSecond"));
  nextSecond_->setObjectName(QStringLiteral("nextSecond"));
  connect(previousSecond_, &QToolButton::clicked, this, [this] { model_.step(-1); });
  connect(nextSecond_, &QToolButton::clicked, this, [this] { model_.step(1); });
  top->addWidget(previousSecond_);
  top->addWidget(nextSecond_);
  column->addLayout(top);

  auto* values = new QHBoxLayout;
  values->setSpacing(16);
  readings_ = {Widgets::metric(QStringLiteral("整机"), SystemColors::accent, card, values),
               Widgets::metric(QStringLiteral("CPU · 估算"), SystemColors::label, card, values),
               Widgets::metric(QStringLiteral("GPU · 估算"), SystemColors::label, card, values),
               Widgets::metric(QStringLiteral("内置背光"), SystemColors::label, card, values)};
  readings_[0]->setObjectName(QStringLiteral("wattsValue"));
  column->addLayout(values);

  statusLine_ = new QHBoxLayout;
  statusLine_->setSpacing(10);
  statusLine_->addStretch(1);
  column->addLayout(statusLine_);
  root->addWidget(card);
}

void HistoryView::buildApps(QVBoxLayout* root) {
  appSection_ = new HistoryAppSection(model_, this);
  root->addWidget(appSection_);
  appsPopover_ = new HistoryPopover(this, 480);
  appsPopover_->layout()->addWidget(new HistoryAppSection(model_, appsPopover_));
}

void HistoryView::buildOverview(QVBoxLayout* root) {
  overviewSection_ = new QWidget(this);
  overviewSection_->setObjectName(QStringLiteral("overviewSection"));
  overviewSection_->setToolTip(kOverviewHelp);
  auto* column = new QVBoxLayout(overviewSection_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addWidget(secondary(QStringLiteral("7 天"), overviewSection_));
  column->addWidget(new HistoryOverview(model_, overviewSection_));
  root->addWidget(overviewSection_);

  overviewPopover_ = new HistoryPopover(this, 480);
  overviewPopover_->setToolTip(kOverviewHelp);
  overviewPopover_->layout()->addWidget(new HistoryOverview(model_, overviewPopover_));
}

void HistoryView::buildFooter(QVBoxLayout* root) {
  auto* row = new QHBoxLayout;
  row->addWidget(symbolLabel("internaldrive", SystemColors::secondaryLabel, this));
  row->addWidget(secondary(QStringLiteral("本机保存 · 每秒记录 · 保留 7 天"), this));
  row->addStretch(1);
  gapNote_ = secondary(QStringLiteral("缺口不补零"), this);
  gapNote_->setToolTip(QStringLiteral("浅橙底为缺口；细线为区间最小至最大值，蓝线为完整区间均值。"));
  row->addWidget(gapNote_);
  appsButton_ = new QToolButton(this);
  appsButton_->setObjectName(QStringLiteral("appsButton"));
  appsButton_->setText(QStringLiteral("应用耗电"));
  appsButton_->setFont(Fonts::system(12));
  connect(appsButton_, &QToolButton::clicked, this, [this] { appsPopover_->showUnder(appsButton_); });
  row->addWidget(appsButton_);
  overviewButton_ = new QToolButton(this);
  overviewButton_->setObjectName(QStringLiteral("overviewButton"));
  overviewButton_->setText(QStringLiteral("7 天概览"));
  overviewButton_->setFont(Fonts::system(12));
  connect(overviewButton_, &QToolButton::clicked, this,
          [this] { overviewPopover_->showUnder(overviewButton_); });
  row->addWidget(overviewButton_);
  root->addLayout(row);
}

void HistoryView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  setCompact(event->size().height() < compactBelow);
  const bool roomForApps = event->size().height() >= appsBelow;
  appSection_->setVisible(roomForApps);
  appsButton_->setVisible(!roomForApps);
  if (roomForApps) appsPopover_->hide();
}

void HistoryView::setCompact(bool compact) {
  compact_ = compact;
  overviewSection_->setVisible(!compact);
  gapNote_->setVisible(!compact);
  overviewButton_->setVisible(compact);
  if (!compact) overviewPopover_->hide();
}

void HistoryView::scheduleSync() {
  if (syncScheduled_) return;
  syncScheduled_ = true;
  QMetaObject::invokeMethod(this, &HistoryView::sync, Qt::QueuedConnection);
}

void HistoryView::sync() {
  syncScheduled_ = false;
  const HistoryNavigation& navigation = model_.navigation();
  const HistorySummary& summary = model_.summary();
  syncSpanRow();

  const std::optional<std::string>& error = model_.error() ? model_.error() : monitor_.historyError();
  banner_->setVisible(error.has_value());
  bannerText_->setText(error ? qs(*error) : QString());
  bannerText_->setToolTip(bannerText_->text());

  const HistoryTexts::Metrics metrics = HistoryTexts::metrics(summary, model_.coverage(), navigation.span);
  average_->setText(qs(metrics.average));
  peak_->setText(qs(metrics.peak));
  energy_->setText(qs(metrics.energy));
  energy_->setToolTip(qs(metrics.energyHelp));
  coverage_->setText(qs(metrics.coverage));
  coverage_->setToolTip(qs(metrics.coverageHelp));

  range_->setText(qs(HistoryTexts::rangeLabel(navigation)));
  range_->setToolTip(qs(HistoryTexts::rangeHelp(navigation)));
  loadingIndicator_->setVisible(model_.loading());

  const auto notice = HistoryTexts::chartNotice(model_.loading(), summary.valid, model_.error().has_value());
  notice_->setVisible(notice.has_value());
  if (notice) {
    noticeTitle_->setText(qs(notice->title));
    noticeDetail_->setText(qs(notice->detail));
  }

  back_->setEnabled(navigation.canGoBack());
  forward_->setEnabled(navigation.canGoForward());
  zoomOut_->setEnabled(navigation.canZoomOut());
  zoomIn_->setEnabled(navigation.canZoomIn());
  syncCard();
}

void HistoryView::syncSpanRow() {
  const HistoryNavigation& navigation = model_.navigation();
  // A zoomed span matches no preset: then no option is chosen.
  spans_->setExclusive(false);
  for (QAbstractButton* option : spans_->buttons()) option->setChecked(spans_->id(option) == navigation.span);
  spans_->setExclusive(true);

  const bool following = navigation.followsLatest;
  if (following == showsFollowing_) return;
  showsFollowing_ = following;
  latestButton_->setText(following ? QStringLiteral("最新") : QStringLiteral("回到最新"));
  latestButton_->setIcon(Symbols::icon(following ? "dot.radiowaves.left.and.right" : "arrow.right.to.line",
                                       toQColor(SystemColors::label), 16));
  latestButton_->setToolTip(following ? QStringLiteral("正在跟随最新记录") : QStringLiteral("回到最新时段"));
  latestButton_->setAccessibleName(latestButton_->text());
}

void HistoryView::syncCard() {
  const HistoryNavigation& navigation = model_.navigation();
  const std::optional<HistorySecond> row = model_.selectedRow();
  cursor_->setText(QStringLiteral("游标时间 ") + qs(HistoryTime::label(navigation.selected)));
  locatingIndicator_->setVisible(model_.locating());
  previousSecond_->setEnabled(navigation.oldest() < navigation.selected);
  nextSecond_->setEnabled(navigation.selected < navigation.latest);
  const std::array<std::string, 4> readings = HistoryTexts::readings(row);
  for (std::size_t i = 0; i < readings.size(); ++i) readings_[i]->setText(qs(readings[i]));

  const std::vector<HistoryTexts::StatusItem> items =
      HistoryTexts::statusLine(row, model_.locating(), model_.detailError());
  while (statusItems_.size() < items.size()) {
    statusItems_.push_back(secondary({}, this));
    statusLine_->insertWidget(static_cast<int>(statusItems_.size()) - 1, statusItems_.back());
  }
  for (std::size_t i = 0; i < statusItems_.size(); ++i) {
    QLabel* label = statusItems_[i];
    label->setVisible(i < items.size());
    if (i >= items.size()) continue;
    label->setText(qs(items[i].text));
    label->setToolTip(qs(items[i].help));
    Widgets::setColor(label, items[i].warning ? SystemColors::orange : SystemColors::secondaryLabel);
  }
}

}  // namespace wattline
