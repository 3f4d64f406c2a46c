// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_power_chart.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "ui/history/history_app_energy.h"
#include "ui/history/history_chart_accessible.h"
#include "ui/history/history_chart_geometry.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"

namespace wattline {

namespace {

using Field = HistoryExplorerModel::Field;
namespace Geometry = HistoryChartGeometry;

constexpr double kLabelBox = 120;

void paintTimeLabels(QPainter& painter, const HistoryNavigation& navigation, const Rect& plot) {
  painter.setFont(Fonts::system(10));
  painter.setPen(toQColor(SystemColors::secondaryLabel));
  for (const auto& label : Geometry::timeLabels(navigation, plot)) {
    QRectF box(label.x - kLabelBox / 2, label.y - 8, kLabelBox, 16);
    Qt::Alignment align = Qt::AlignHCenter;
    if (label.anchor == Geometry::Anchor::leading) {
      box.moveLeft(label.x);
      align = Qt::AlignLeft;
    } else if (label.anchor == Geometry::Anchor::trailing) {
      box.moveRight(label.x);
      align = Qt::AlignRight;
    }
    painter.drawText(box, align | Qt::AlignVCenter, QString::fromStdString(label.text));
  }
}

void paintCursor(QPainter& painter, double x, const Rect& plot) {
  QPen pen(toQColor(SystemColors::label.opacity(0.5)), 1, Qt::CustomDashLine, Qt::FlatCap);
  pen.setDashPattern({Geometry::cursorDash[0], Geometry::cursorDash[1]});
  painter.setPen(pen);
  painter.drawLine(QPointF(x, plot.minY()), QPointF(x, plot.maxY()));
}

void paintMarker(QPainter& painter, Point centre) {
  const QPointF point(centre.x, centre.y);
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(SystemColors::accent));
  painter.drawEllipse(point, Geometry::markerDiameter / 2, Geometry::markerDiameter / 2);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(toQColor(SystemColors::controlBackground), Geometry::haloWidth));
  painter.drawEllipse(point, Geometry::haloDiameter / 2, Geometry::haloDiameter / 2);
}

}  // namespace

HistoryPowerChart::HistoryPowerChart(HistoryExplorerModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  HistoryChartAccessible::install();
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumHeight(90);
  subscription_ = model_.subscribe([this](Field field) {
    if (field == Field::summary) ++summaryRevision_;
    if (field == Field::navigation || field == Field::summary || field == Field::rows ||
        field == Field::loading || field == Field::appPower) {
      update();
      if (field != Field::summary && QAccessible::isActive()) {
        QAccessibleEvent changed(
            this, field == Field::navigation ? QAccessible::NameChanged : QAccessible::ValueChanged);
        QAccessible::updateAccessibility(&changed);
      }
    }
  });
}

HistoryPowerChart::~HistoryPowerChart() {
  model_.unsubscribe(subscription_);
}

void HistoryPowerChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const HistoryNavigation& navigation = model_.navigation();
  const Rect plot = Geometry::plot(width(), height());
  // The cache is drawn at the scale of the device painted on, which differs from the screen's when
  // the chart is rendered into an image.
  const double scale = std::abs(painter.deviceTransform().m11());
  const DrawingKey key{summaryRevision_, navigation.start(), navigation.end, width(), height(), scale};
  if (!(key == drawingKey_) || drawing_.isNull()) {
    drawing_ = QPixmap(QSize(width(), height()) * scale);
    drawing_.setDevicePixelRatio(scale);
    drawing_.fill(Qt::transparent);
    QPainter cache(&drawing_);
    HistoryDrawing::draw(cache, model_.summary(), plot, navigation.start(), navigation.end, true);
    cache.setRenderHint(QPainter::Antialiasing);
    paintTimeLabels(cache, navigation, plot);
    drawingKey_ = key;
  }
  painter.drawPixmap(0, 0, drawing_);
  painter.setRenderHint(QPainter::Antialiasing);
  if (const std::optional<std::string>& app = model_.selectedApp()) {
    HistoryScene overlay{plot, HistoryDrawing::yMax(model_.summary().peak), {}, {}, {}, {}, {}};
    HistoryAppEnergy::addOverlay(overlay, model_.appPower(), navigation.start(), navigation.end,
                                 HistoryAppEnergy::color(*app));
    HistoryDrawing::paint(painter, overlay);
  }
  paintCursor(painter, Geometry::cursorX(navigation, plot), plot);
  const std::optional<HistorySecond> row = model_.selectedRow();
  if (auto centre = Geometry::marker(navigation, plot, model_.loading(), model_.summary(),
                                     row ? row->watts : std::nullopt))
    paintMarker(painter, *centre);
}

void HistoryPowerChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  selectAt(event->position().x());
}

void HistoryPowerChart::mouseMoveEvent(QMouseEvent* event) {
  // A drag selects from anywhere (the fraction is clamped); a hover only inside the plot.
  const Rect plot = Geometry::plot(width(), height());
  if (event->buttons() & Qt::LeftButton || plot.contains(Point{event->position().x(), event->position().y()}))
    selectAt(event->position().x());
}

void HistoryPowerChart::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      return model_.step(-1);
    case Qt::Key_Right:
      return model_.step(1);
    case Qt::Key_Up:
      return model_.zoom(0.5);
    case Qt::Key_Down:
      return model_.zoom(2);
    default:
      QWidget::keyPressEvent(event);
  }
}

void HistoryPowerChart::selectAt(double x) {
  const Rect plot = Geometry::plot(width(), height());
  model_.select(model_.navigation().second(Geometry::fraction(plot, x)));
}

}  // namespace wattline
