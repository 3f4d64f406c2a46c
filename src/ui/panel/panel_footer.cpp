#include "ui/panel/panel_footer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/startup_policy.h"
#include "power/refresh_policy.h"
#include "ui/panel/panel_texts.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline {

namespace {

// The separator, 11 points of air, an 18-point row, 11 points of air.
constexpr int kRowTop = 12, kRowHeight = 18, kRowBottom = 11, kSide = 14;

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

QString cssColor(StyleColor color) {
  return toQColor(color).name(QColor::HexArgb);
}

QString buttonStyle() {
  return QStringLiteral(
             "QToolButton { border: none; background: transparent; padding: 0px; color: %1; }"
             "QToolButton:hover { color: %2; }"
             "QToolButton::menu-indicator { image: none; width: 0px; }")
      .arg(cssColor(FlowStyle::muted), cssColor(FlowStyle::ink));
}

QToolButton* footerButton(QWidget* parent, const char* symbol, const QString& toolTip) {
  auto* button = new QToolButton(parent);
  button->setFont(Fonts::system(10));
  button->setStyleSheet(buttonStyle());
  button->setIcon(Symbols::icon(symbol, toQColor(FlowStyle::muted), 14));
  button->setIconSize(QSize(14, 14));
  button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  button->setToolTip(toolTip);
  button->setFixedHeight(kRowHeight);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

// Assistive technology reads the details toggle's state as its value.
class ValueButtonAccessible : public QAccessibleWidget {
 public:
  explicit ValueButtonAccessible(ValueButton* button) : QAccessibleWidget(button, QAccessible::Button) {}
  QString text(QAccessible::Text kind) const override {
    const auto* button = static_cast<const ValueButton*>(widget());
    if (kind == QAccessible::Value) return button->accessibleValue();
    if (kind == QAccessible::Name) return button->text();
    if (kind == QAccessible::Help) return button->toolTip();
    return QAccessibleWidget::text(kind);
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) static_cast<ValueButton*>(widget())->click();
  }
};

QAccessibleInterface* valueButtonFactory(const QString&, QObject* object) {
  if (auto* button = qobject_cast<ValueButton*>(object)) return new ValueButtonAccessible(button);
  return nullptr;
}

}  // namespace

ValueButton::ValueButton(QWidget* parent) : QToolButton(parent) {
  [[maybe_unused]] static const bool installed = (QAccessible::installFactory(valueButtonFactory), true);
}

PanelFooter::PanelFooter(PowerMonitor& monitor, StartupSettings& startup, UserDefaults& defaults, Flags flags,
                         const std::string& version, Actions actions, QWidget* parent)
    : QWidget(parent),
      monitor_(monitor),
      startup_(startup),
      defaults_(defaults),
      flags_(flags),
      actions_(std::move(actions)) {
  setFixedHeight(kRowTop + kRowHeight + kRowBottom);
  if (!flags_.staticPreview) buildControls(version);
}

bool PanelFooter::detailsShown() const {
  return monitor_.detailsExpanded() || (flags_.staticPreview && flags_.previewDetails);
}

void PanelFooter::buildControls(const std::string& version) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kSide, kRowTop, kSide, kRowBottom);
  row->setSpacing(12);

  refreshButton_ = footerButton(this, "arrow.clockwise", "调整电流数据刷新间隔");
  refreshButton_->setPopupMode(QToolButton::InstantPopup);
  buildRefreshMenu();
  refreshButton_->setMenu(refreshMenu_);
  row->addWidget(refreshButton_);
  row->addStretch(1);

  details_ = new ValueButton(this);
  details_->setFont(Fonts::system(10));
  details_->setStyleSheet(buttonStyle());
  details_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  // The chevron follows the text.
  details_->setLayoutDirection(Qt::RightToLeft);
  details_->setIconSize(QSize(10, 10));
  details_->setFixedHeight(kRowHeight);
  details_->setCursor(Qt::PointingHandCursor);
  connect(details_, &QToolButton::clicked, this, [this] { monitor_.setDetailsExpanded(!detailsShown()); });
  row->addWidget(details_);

  settingsButton_ = footerButton(this, "gearshape", "设置与退出");
  settingsButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  settingsButton_->setAccessibleName("设置");
  settingsButton_->setPopupMode(QToolButton::InstantPopup);
  buildSettingsMenu(version);
  settingsButton_->setMenu(settingsMenu_);
  row->addWidget(settingsButton_);
}

void PanelFooter::buildRefreshMenu() {
  refreshMenu_ = new QMenu(this);
  refreshMenu_->setFont(Fonts::system(12));
  checkmark_ = Symbols::icon("checkmark", toQColor(FlowStyle::ink), 14);
  auto* group = new QActionGroup(refreshMenu_);
  group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (double seconds : RefreshPolicy::presets) {
    QAction* action = refreshMenu_->addAction(q(RefreshPolicy::label(seconds)));
    action->setCheckable(true);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, seconds] {
      monitor_.setRefreshInterval(seconds);
      actions_.closeCustomInterval();
      refresh(reduceMotion_);
    });
    presets_.emplace_back(seconds, action);
  }
  refreshMenu_->addSeparator();
  connect(refreshMenu_->addAction("立即刷新"), &QAction::triggered, this, [this] { monitor_.refresh(true); });
  connect(refreshMenu_->addAction("自定义…"), &QAction::triggered, this,
          [this] { actions_.openCustomInterval(); });
}

void PanelFooter::buildSettingsMenu(const std::string& version) {
  settingsMenu_ = new QMenu(this);
  settingsMenu_->setFont(Fonts::system(12));
  loginItem_ = settingsMenu_->addAction("开机自启");
  loginItem_->setCheckable(true);
  connect(loginItem_, &QAction::triggered, this, [this](bool on) {
    startup_.setEnabled(on);
    refresh(reduceMotion_);
  });
  showOnLaunch_ = settingsMenu_->addAction("启动时展开面板");
  showOnLaunch_->setCheckable(true);
  connect(showOnLaunch_, &QAction::triggered, this,
          [this](bool on) { defaults_.setBool(StartupPolicy::showOnLaunchKey, on); });
  loginSettings_ = settingsMenu_->addAction("系统登录项设置…");
  connect(loginSettings_, &QAction::triggered, this, [this] { startup_.openSystemSettings(); });
  settingsMenu_->addSeparator();
  motion_ = settingsMenu_->addAction("流动动效");
  motion_->setCheckable(true);
  connect(motion_, &QAction::triggered, this, [this](bool on) { actions_.setReduceMotion(!on); });
  settingsMenu_->addSeparator();
  connect(settingsMenu_->addAction(q("关于瓦迹 " + version)), &QAction::triggered, this,
          [this] { actions_.about(); });
  connect(settingsMenu_->addAction("退出瓦迹"), &QAction::triggered, this, [this] { actions_.quit(); });
}

void PanelFooter::refresh(bool reduceMotion) {
  reduceMotion_ = reduceMotion;
  if (flags_.staticPreview) {
    update();
    return;
  }
  const double interval = monitor_.refreshInterval();
  refreshButton_->setText(q("刷新 " + RefreshPolicy::label(interval)));
  for (auto [seconds, action] : presets_) {
    const bool current = seconds == interval;
    if (action->isChecked() == current && action->icon().isNull() != current) continue;
    action->setChecked(current);
    // The symbol stands where a style would draw its own mark for the checked item.
    action->setIcon(current ? checkmark_ : QIcon());
  }

  const auto toggle = PanelTexts::detailsToggle(detailsShown(), monitor_.detailsExpanded());
  if (details_->text() != q(toggle.title)) {
    details_->setText(q(toggle.title));
    details_->setIcon(Symbols::icon(toggle.symbol, toQColor(FlowStyle::muted), 10));
  }
  details_->setToolTip(q(toggle.toolTip));
  details_->setAccessibleValue(q(toggle.accessibleValue));

  loginItem_->setChecked(startup_.registered());
  showOnLaunch_->setChecked(defaults_.boolValue(StartupPolicy::showOnLaunchKey));
  motion_->setChecked(!reduceMotion);
}

void PanelFooter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(QRectF(0, 0, width(), 0.5), toQColor(FlowStyle::line.opacity(0.7)));
  if (!flags_.staticPreview) return;
  // The preview's row: the same labels without controls.
  const QColor muted = toQColor(FlowStyle::muted);
  const QFont font = Fonts::system(10);
  const QFontMetricsF metrics(font);
  const QRectF row(kSide, kRowTop, width() - 2 * kSide, kRowHeight);
  painter.setFont(font);
  painter.setPen(muted);
  Symbols::draw(painter, "arrow.clockwise", QRectF(row.left(), row.top(), 14, row.height()), 14, muted);
  painter.drawText(row.adjusted(18, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   q("刷新 " + RefreshPolicy::label(monitor_.refreshInterval())));
  const QRectF gear(row.right() - 14, row.top(), 14, row.height());
  Symbols::draw(painter, "gearshape", gear, 14, muted);
  painter.drawText(QRectF(row.left(), row.top(), gear.left() - 12 - row.left(), row.height()),
                   Qt::AlignRight | Qt::AlignVCenter, "详情");
}

CustomIntervalRow::CustomIntervalRow(std::function<void()> apply, std::function<void()> cancel,
                                     QWidget* parent)
    : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(9, 9, 9, 9);
  column->setSpacing(7);
  auto* row = new QHBoxLayout();
  row->setSpacing(6);
  column->addLayout(row);

  auto* title = new QLabel("刷新间隔", this);
  title->setFont(Fonts::system(10));
  row->addWidget(title);
  field_ = new QLineEdit(this);
  field_->setPlaceholderText("秒");
  field_->setFont(Fonts::system(11));
  field_->setFixedWidth(67);
  field_->setAccessibleName("刷新间隔秒数");
  row->addWidget(field_);
  auto* unit = new QLabel("秒", this);
  unit->setFont(Fonts::system(10));
  row->addWidget(unit);
  auto* save = new QPushButton("保存", this);
  save->setFont(Fonts::system(10));
  save->setDefault(true);
  row->addWidget(save);
  row->addStretch(1);
  auto* close = new QToolButton(this);
  close->setIcon(Symbols::icon("xmark", toQColor(FlowStyle::muted), 12));
  close->setStyleSheet(buttonStyle());
  close->setToolTip("取消自定义刷新间隔");
  close->setAccessibleName("取消自定义刷新间隔");
  row->addWidget(close);

  hint_ = new QLabel(this);
  hint_->setFont(Fonts::system(9));
  column->addWidget(hint_);
  setInvalid(false);

  connect(field_, &QLineEdit::returnPressed, this, apply);
  connect(save, &QPushButton::clicked, this, apply);
  connect(close, &QToolButton::clicked, this, cancel);
}

void CustomIntervalRow::setText(const QString& text) {
  field_->setText(text);
}

QString CustomIntervalRow::text() const {
  return field_->text();
}

void CustomIntervalRow::setInvalid(bool invalid) {
  const auto hint = PanelTexts::customIntervalHint(invalid);
  hint_->setText(q(hint.text));
  hint_->setStyleSheet(QStringLiteral("color: %1;").arg(cssColor(hint.color)));
}

void CustomIntervalRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(FlowStyle::surface));
  painter.drawRoundedRect(rect(), 9, 9);
}

}  // namespace wattline
