// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_overview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpacerItem>
#include <QVBoxLayout>

#include "ui/history/history_chart_geometry.h"
#include "ui/style/qt_color.h"

namespace wattline {

namespace {

using Field = HistoryExplorerModel::Field;
namespace Geometry = HistoryOverviewGeometry;

}  // namespace

HistoryOverviewStrip::HistoryOverviewStrip(HistoryExplorerModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setFixedHeight(static_cast<int>(Geometry::stripHeight));
  subscription_ = model_.subscribe([this](Field field) {
    if (field == Field::navigation || field == Field::overview || field == Field::overviewEnd) update();
  });
}

HistoryOverviewStrip::~HistoryOverviewStrip() {
  model_.unsubscribe(subscription_);
}

void HistoryOverviewStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const double w = width(), h = height();
  HistoryDrawing::draw(painter, model_.overview(), Geometry::plot(w, h), model_.overviewStart(),
                       model_.overviewEnd(), false);
  const Rect window = Geometry::window(w, h, model_.navigation(), model_.overviewStart());
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor accent = toQColor(SystemColors::accent);
  QPainterPath outline;
  // The stroke is centred on the outline: keep it inside the strip.
  outline.addRoundedRect(
      QRectF(window.x, window.y, window.width, window.height).adjusted(0.75, 0.75, -0.75, -0.75),
      Geometry::windowRadius, Geometry::windowRadius);
  painter.fillPath(outline, toQColor(SystemColors::accent.opacity(0.12)));
  painter.strokePath(outline, QPen(accent, 1.5));
}

void HistoryOverviewStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  model_.center(Geometry::dragTarget(event->position().x(), width(), model_.overviewStart()));
}

void HistoryOverviewStrip::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton)
    model_.center(Geometry::dragTarget(event->position().x(), width(), model_.overviewStart()));
}

HistoryOverview::HistoryOverview(HistoryExplorerModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setAccessibleName(QStringLiteral("最近七天概览。拖动蓝色窗口或使用滑块浏览。"));
  stack_ = new QVBoxLayout(this);
  stack_->setContentsMargins(0, 0, 0, 0);
  stack_->setSpacing(5);
  stack_->addWidget(new HistoryOverviewStrip(model_, this));
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setFixedHeight(static_cast<int>(Geometry::spacerHeight));
  slider_->setAccessibleName(QStringLiteral("移动历史时间窗口"));
  stack_->addWidget(slider_);
  spacer_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
  stack_->addItem(spacer_);
  connect(slider_, &QSlider::valueChanged, this, [this](int value) { model_.center(sliderBase_ + value); });
  subscription_ = model_.subscribe([this](Field field) {
    if (field == Field::navigation) sync();
  });
  sync();
}

HistoryOverview::~HistoryOverview() {
  model_.unsubscribe(subscription_);
}

void HistoryOverview::sync() {
  const HistoryNavigation& navigation = model_.navigation();
  const auto range = Geometry::sliderRange(navigation);
  if (range) {
    const QSignalBlocker quiet(slider_);
    sliderBase_ = navigation.oldest();
    slider_->setRange(static_cast<int>(range->minimum - sliderBase_),
                      static_cast<int>(range->maximum - sliderBase_));
    slider_->setSingleStep(static_cast<int>(std::max<std::int64_t>(navigation.span / 10, 1)));
    slider_->setPageStep(static_cast<int>(navigation.span));
    slider_->setValue(static_cast<int>(navigation.center() - sliderBase_));
  }
  if (spacerShown_ == !range) return;
  spacerShown_ = !range;
  slider_->setVisible(range.has_value());
  // A layout gives no spacing to a spacer item: it carries the slider's spacing itself.
  const int height = static_cast<int>(Geometry::spacerHeight) + stack_->spacing();
  spacer_->changeSize(0, range ? 0 : height, QSizePolicy::Minimum, QSizePolicy::Fixed);
  stack_->invalidate();
}

}  // namespace wattline
