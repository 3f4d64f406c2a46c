#include "ui/panel/flow_panel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "power/refresh_policy.h"
#include "ui/panel/flow_diagram.h"
#include "ui/panel/flow_scene.h"
#include "ui/panel/panel_footer.h"
#include "ui/panel/panel_placement.h"
#include "ui/panel/panel_sections.h"
#include "ui/panel/panel_texts.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline {

namespace {

constexpr int kPadding = 12, kSpacing = 8;

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

QString css(StyleColor color) {
  return toQColor(color).name(QColor::HexArgb);
}

}  // namespace

FlowPanel::FlowPanel(PowerMonitor& monitor, FlowPanelEnvironment environment, bool staticPreview,
                     bool previewDetails, PanelActions actions, QWidget* parent)
    : QWidget(parent),
      monitor_(monitor),
      environment_(std::move(environment)),
      staticPreview_(staticPreview),
      previewDetails_(previewDetails),
      actions_(std::move(actions)),
      startup_(std::make_unique<StartupSettings>(environment_.loginItem)) {
  reduceMotion_ = environment_.defaults.boolValue(reduceMotionKey);
  ticker_.setInterval(1000);
  connect(&ticker_, &QTimer::timeout, this, [this] { refreshContent(); });
  build();
  observer_ = monitor_.observe([this](PowerMonitor::Field field) { monitorChanged(field); });
  // The desktop's animation switch takes effect at once.
  desktopObserver_ = environment_.desktop.observe([this] { refreshContent(); });
  startup_->observe([this] {
    refreshFooter();
    showNoticeIfAny();
  });
  if (!staticPreview_)
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
      if (state == Qt::ApplicationActive) applicationBecameActive();
    });
  lastDetailsShown_ = detailsShown();
  refreshContent();
  reconcileTicker();
}

FlowPanel::~FlowPanel() {
  monitor_.removeObserver(observer_);
  // The alert's answer clears the notice of the login item, which goes before the children do.
  delete alert_.data();
}

void FlowPanel::build() {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, toQColor(FlowStyle::background));
  palette.setColor(QPalette::Base, toQColor(FlowStyle::background));
  palette.setColor(QPalette::WindowText, toQColor(FlowStyle::ink));
  setPalette(palette);
  setAutoFillBackground(true);

  content_ = new QWidget();
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  column->setSpacing(kSpacing);
  header_ = new HeaderRow(content_);
  status_ = new StatusRow(content_);
  customRow_ =
      new CustomIntervalRow([this] { applyCustomInterval(); }, [this] { closeCustomInterval(); }, content_);
  customRow_->hide();
  diagram_ = new FlowDiagram(environment_.clock, content_);
  components_ = new ComponentPowerRow(content_);
  for (QWidget* row :
       {static_cast<QWidget*>(header_), static_cast<QWidget*>(status_), static_cast<QWidget*>(customRow_),
        static_cast<QWidget*>(diagram_), static_cast<QWidget*>(components_)})
    column->addWidget(row);

  details_ = new QWidget(content_);
  auto* details = new QVBoxLayout(details_);
  details->setContentsMargins(0, 0, 0, 0);
  details->setSpacing(9);
  trend_ = new PowerTrendView(details_);
  trend_->setAccessibleName("整机功耗最近一分钟趋势，单位瓦。");
  historyButton_ = new QPushButton("功耗历史 · 秒级记录 / 最近 7 天", details_);
  historyButton_->setFont(Fonts::system(10));
  historyButton_->setIcon(Symbols::icon("clock.arrow.circlepath", toQColor(FlowStyle::blue), 14));
  historyButton_->setCursor(Qt::PointingHandCursor);
  historyButton_->setStyleSheet(
      QStringLiteral(
          "QPushButton { background: %1; border: 1px solid %2; border-radius: 10px; padding: 10px; "
          "color: %3; }"
          "QPushButton:hover { border-color: %4; }"
          "QPushButton:disabled { color: %4; }")
          .arg(css(FlowStyle::surface), css(FlowStyle::line), css(FlowStyle::ink), css(FlowStyle::muted)));
  connect(historyButton_, &QPushButton::clicked, this, [this] {
    if (actions_.onShowHistory) actions_.onShowHistory();
  });
  historyError_ = new QLabel(details_);
  historyError_->setFont(Fonts::system(9));
  historyError_->setWordWrap(true);
  historyError_->setStyleSheet(QStringLiteral("color: %1;").arg(css(SystemColors::red)));
  historyError_->hide();
  extra_ = new ExtraDetailsView(details_);
  for (QWidget* part : {static_cast<QWidget*>(trend_), static_cast<QWidget*>(historyButton_),
                        static_cast<QWidget*>(historyError_), static_cast<QWidget*>(extra_)})
    details->addWidget(part);
  column->addWidget(details_);
  column->addStretch(1);

  footer_ = new PanelFooter(monitor_, *startup_, environment_.defaults, {staticPreview_, previewDetails_},
                            environment_.version,
                            {[this] { openCustomInterval(); }, [this] { closeCustomInterval(); },
                             [this](bool reduce) { setReduceMotion(reduce); },
                             [this] {
                               if (environment_.showAbout) environment_.showAbout();
                             },
                             [this] {
                               if (actions_.quit) actions_.quit();
                             }},
                            this);

  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(0);
  if (staticPreview_) {
    content_->setParent(this);
    stack->addWidget(content_);
  } else {
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(content_);
    stack->addWidget(scroll_, 1);
  }
  stack->addWidget(footer_);
  resize(static_cast<int>(PanelPlacement::preferredSize.width),
         static_cast<int>(PanelPlacement::preferredSize.height));
}

bool FlowPanel::detailsShown() const {
  return monitor_.detailsExpanded() || (staticPreview_ && previewDetails_);
}

void FlowPanel::monitorChanged(PowerMonitor::Field field) {
  using Field = PowerMonitor::Field;
  if (field == Field::sampleCount || field == Field::detailSampleCount) return;
  if (field == Field::panelVisible) reconcileTicker();
  refreshContent();
}

void FlowPanel::refreshContent() {
  const Date now = environment_.clock.now();
  const PowerSnapshot& snapshot = monitor_.snapshot();
  const double interval = monitor_.refreshInterval();
  const bool demo = monitor_.demoMode().has_value();

  header_->setIndicator(PanelTexts::liveIndicator(snapshot, demo, now, interval));
  const bool percent = snapshot.percent.has_value();
  status_->setStatus(snapshot.status(), PanelTexts::batteryColor(snapshot),
                     percent ? std::optional(PanelTexts::statusBatterySymbol(snapshot)) : std::nullopt,
                     percent ? std::optional(FlowScene::percentText(snapshot.percent)) : std::nullopt);
  if (!(diagram_->snapshot() == snapshot)) diagram_->setSnapshot(snapshot);
  diagram_->setReduceMotion(reduceMotion_ || environment_.desktop.reduceMotion());
  diagram_->setPaused(!monitor_.panelVisible());
  components_->setCells(PanelTexts::componentCells(snapshot, now, interval));

  const bool shown = detailsShown();
  details_->setVisible(shown);
  if (shown != lastDetailsShown_) {
    lastDetailsShown_ = shown;
    scrollToTop();
  }
  if (shown) {
    trend_->setContent({monitor_.history(), now, snapshot.systemEstimated,
                        reading(snapshot.adapterRatedWatts, "W", 0, false),
                        snapshot.systemSource == PowerDataSource::systemCache && !demo});
    historyButton_->setEnabled(!demo);
    const auto error = PanelTexts::historyErrorText(monitor_.historyError());
    historyError_->setVisible(error.has_value());
    if (error) historyError_->setText(q(*error));
    extra_->setContent(PanelTexts::extraDetails(
        snapshot, PanelTexts::shownRanking(staticPreview_, demo, monitor_.processPower(), now), now,
        interval));
  }
  refreshFooter();
  measure();
}

void FlowPanel::refreshFooter() {
  footer_->refresh(reduceMotion_);
}

void FlowPanel::reconcileTicker() {
  const bool run = !staticPreview_ && monitor_.panelVisible() && isVisible();
  if (run && !ticker_.isActive())
    ticker_.start();
  else if (!run)
    ticker_.stop();
}

void FlowPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  reconcileTicker();
}

void FlowPanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  reconcileTicker();
}

void FlowPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!staticPreview_) measure();
}

void FlowPanel::measure() {
  // The content is as wide as the window; a preview is as wide as the panel always is.
  const int width =
      staticPreview_ ? static_cast<int>(PanelPlacement::preferredSize.width) : std::max(1, this->width());
  QLayout* column = content_->layout();
  column->invalidate();
  const double content =
      column->hasHeightForWidth() ? column->totalHeightForWidth(width) : column->totalSizeHint().height();
  const double footer = footer_->height();
  if (staticPreview_)
    setFixedSize(static_cast<int>(PanelPlacement::preferredSize.width),
                 static_cast<int>(std::ceil(content + footer)));
  reportHeight(PanelRegion::content, content);
  reportHeight(PanelRegion::footer, footer);
}

void FlowPanel::reportHeight(PanelRegion region, double height) {
  auto [entry, added] = heights_.try_emplace(region, height);
  if (!added) {
    if (entry->second == height) return;
    entry->second = height;
  }
  if (heights_.size() == 2 && actions_.onSizeChange)
    actions_.onSizeChange(
        PanelPlacement::sizeForContent(heights_.at(PanelRegion::content), heights_.at(PanelRegion::footer)));
}

void FlowPanel::scrollToTop() {
  if (scroll_) scroll_->verticalScrollBar()->setValue(0);
}

void FlowPanel::applicationBecameActive() {
  startup_->refresh();
}

void FlowPanel::openCustomInterval() {
  customRow_->setText(q(PanelTexts::intervalFieldText(monitor_.refreshInterval())));
  customRow_->setInvalid(false);
  showCustomInterval_ = true;
  customRow_->show();
  customRow_->field()->setFocus(Qt::PopupFocusReason);
  customRow_->field()->selectAll();
  scrollToTop();
  measure();
}

void FlowPanel::applyCustomInterval() {
  const auto seconds = RefreshPolicy::parse(customRow_->text().toStdString());
  customRow_->setInvalid(!seconds);
  if (!seconds) return;
  monitor_.setRefreshInterval(*seconds);
  closeCustomInterval();
}

void FlowPanel::closeCustomInterval() {
  showCustomInterval_ = false;
  customRow_->hide();
  measure();
}

void FlowPanel::setReduceMotion(bool reduce) {
  reduceMotion_ = reduce;
  environment_.defaults.setBool(reduceMotionKey, reduce);
  refreshContent();
}

void FlowPanel::showNoticeIfAny() {
  const auto& notice = startup_->notice();
  if (staticPreview_ || !notice) return;
  if (alert_) {
    alert_->setText(q(*notice));
    return;
  }
  alert_ = new QMessageBox(QMessageBox::Information, "开机自启设置", q(*notice), QMessageBox::NoButton, this);
  alert_->setAttribute(Qt::WA_DeleteOnClose);
  alert_->addButton("知道了", QMessageBox::RejectRole);
  connect(alert_, &QMessageBox::finished, this, [this] { startup_->clearNotice(); });
  alert_->open();
}

}  // namespace wattline
