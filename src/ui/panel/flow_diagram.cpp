// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_diagram.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>

#include "ui/style/fitted_text.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline {

namespace {

using Fonts::lineHeight;
using Weight = Fonts::Weight;
constexpr double kDesignWidth = FlowScene::designSize.width, kDesignHeight = FlowScene::designSize.height;

QPointF qt(Point p) {
  return {p.x, p.y};
}

QRectF qt(const Rect& r) {
  return {r.x, r.y, r.width, r.height};
}

QPen roundPen(StyleColor color, double width) {
  return QPen(toQColor(color), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath polylinePath(const std::vector<Point>& polyline) {
  QPainterPath path;
  if (polyline.empty()) return path;
  path.moveTo(qt(polyline.front()));
  for (std::size_t i = 1; i < polyline.size(); ++i) path.lineTo(qt(polyline[i]));
  return path;
}

// Dots drawn as 24-gons: indistinguishable from circles at their size, and
// much cheaper for the rasteriser than curves, which matters at 30 frames a second.
void fillDot(QPainter& painter, Point centre, double radius) {
  static const auto unit = [] {
    std::array<QPointF, 24> corners;
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const double angle = 2 * M_PI * static_cast<double>(i) / corners.size();
      corners[i] = {std::cos(angle), std::sin(angle)};
    }
    return corners;
  }();
  std::array<QPointF, 24> corners;
  for (std::size_t i = 0; i < corners.size(); ++i) corners[i] = qt(centre) + unit[i] * radius;
  painter.drawConvexPolygon(corners.data(), static_cast<int>(corners.size()));
}

// The area a stroke covers, with round caps and joins, its curves already
// flattened (finely enough for four device pixels a point), so that a frame
// only fills polygons.
QPainterPath outline(const QPainterPath& path, const FlowScene::Stroke& stroke) {
  QPainterPathStroker stroker;
  stroker.setWidth(stroke.width);
  stroker.setCapStyle(Qt::RoundCap);
  stroker.setJoinStyle(Qt::RoundJoin);
  // Dashes are measured in stroke widths.
  if (stroke.dashed) stroker.setDashPattern(QList<qreal>{3 / stroke.width, 5 / stroke.width});
  constexpr double fine = 4;
  QPainterPath flat;
  flat.setFillRule(Qt::WindingFill);
  for (const QPolygonF& polygon :
       stroker.createStroke(path).toFillPolygons(QTransform::fromScale(fine, fine)))
    flat.addPolygon(QTransform::fromScale(1 / fine, 1 / fine).map(polygon));
  return flat;
}

void text(QPainter& painter, const QRectF& box, const std::string& value, const QFont& font, StyleColor color,
          double minimumScale = 1, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
  painter.setPen(toQColor(color));
  drawFittedText(painter, box, QString::fromStdString(value), font, minimumScale, alignment);
}

double advance(const QFont& font, const std::string& value) {
  return QFontMetricsF(font).horizontalAdvance(QString::fromStdString(value));
}

void sourceNode(QPainter& painter, const FlowScene::Nodes& n) {
  // The frame padded 8 on each side; rows 4 apart, centred.
  const QRectF frame = qt(FlowScene::adapterFrame);
  const double left = frame.left() + 8, width = frame.width() - 16;
  const double height =
      lineHeight(12) + 4 + lineHeight(26) + 4 + lineHeight(9) + (n.sourceEstimated ? 4 + lineHeight(8) : 0);
  double y = frame.center().y() - height / 2;

  const QFont title = Fonts::system(12, Weight::medium);
  const double titleWidth = 12 + 5 + advance(title, "电源");
  const double titleLeft = frame.center().x() - titleWidth / 2;
  Symbols::draw(painter, "bolt.fill", QRectF(titleLeft, y, 12, lineHeight(12)), 12, toQColor(n.sourceColor));
  text(painter, QRectF(titleLeft + 17, y, titleWidth - 17, lineHeight(12)), "电源", title, FlowStyle::ink);
  y += lineHeight(12) + 4;
  text(painter, QRectF(left, y, width, lineHeight(26)), n.sourceValue, Fonts::system(26, Weight::semibold),
       n.sourceColor, 0.7, Qt::AlignCenter);
  y += lineHeight(26) + 4;
  text(painter, QRectF(left, y, width, lineHeight(9)), n.sourceDetail, Fonts::system(9), FlowStyle::muted,
       0.8, Qt::AlignCenter);
  y += lineHeight(9) + 4;
  if (n.sourceEstimated)
    text(painter, QRectF(left, y, width, lineHeight(8)), "功率推算", Fonts::system(8), FlowStyle::muted, 1,
         Qt::AlignCenter);
}

void mainboardNode(QPainter& painter, const FlowScene::Nodes& n) {
  // The frame padded 10: the chip, 8 points, then the texts, centred.
  const QRectF frame = qt(FlowScene::mainboardFrame);
  const double left = frame.left() + 10, column = left + 30 + 8, width = frame.right() - 10 - column;
  const double middle = frame.center().y();
  Symbols::draw(painter, "cpu", QRectF(left, middle - 15, 30, 30), 27, toQColor(FlowStyle::blue));
  const double height = lineHeight(10) + 2 + lineHeight(28) + (n.systemEstimated ? 2 + lineHeight(8) : 0);
  double y = middle - height / 2;
  text(painter, QRectF(column, y, width, lineHeight(10)), "主板 · 整机用电",
       Fonts::system(10, Weight::medium), FlowStyle::muted, 1);
  y += lineHeight(10) + 2;
  text(painter, QRectF(column, y, width, lineHeight(28)), n.systemValue, Fonts::system(28, Weight::semibold),
       FlowStyle::ink, 0.7);
  y += lineHeight(28) + 2;
  if (n.systemEstimated)
    text(painter, QRectF(column, y, width, lineHeight(8)), "估算", Fonts::system(8), FlowStyle::muted);
}

void batteryNode(QPainter& painter, const FlowScene::Nodes& n) {
  const QRectF card = qt(FlowScene::batteryFrame);
  const StyleColor color = n.batteryColor;
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(FlowStyle::background));
  painter.drawRoundedRect(card, 12, 12);
  if (n.levelWidth > 0) {
    painter.setBrush(toQColor(color.opacity(n.levelOpacity)));
    painter.drawRoundedRect(QRectF(card.left() + 3, card.top() + 3, n.levelWidth, card.height() - 6), 9, 9);
  }
  painter.setBrush(toQColor(FlowStyle::line.opacity(0.35)));
  for (int k = 1; k <= 3; ++k)
    painter.drawRect(QRectF(card.left() + card.width() * k / 4 - 0.5, card.top() + 5, 1, card.height() - 10));

  // Labels padded 10, in a column 2 points apart.
  const double left = card.left() + 10, width = card.width() - 20;
  const double height = lineHeight(11) + 2 + lineHeight(26) + 2 + lineHeight(9);
  double y = card.center().y() - height / 2;
  double x = left;
  const auto rowText = [&](const std::string& value, const QFont& font, StyleColor tint) {
    const double w = advance(font, value);
    text(painter, QRectF(x, y, w + 1, lineHeight(11)), value, font, tint);
    x += w + 5;
  };
  rowText("电池", Fonts::system(11, Weight::medium), color);
  rowText(n.percentText, Fonts::system(9), FlowStyle::muted);
  Symbols::draw(painter, n.arrowSymbol, QRectF(x, y, 8, lineHeight(11)), 8, toQColor(color));
  x += 8 + 5;
  rowText(n.stateWord, Fonts::system(9, Weight::medium), color);
  y += lineHeight(11) + 2;
  text(painter, QRectF(left, y, width, lineHeight(26)), n.batteryValue, Fonts::system(26, Weight::semibold),
       color, 0.7);
  y += lineHeight(26) + 2;
  text(painter, QRectF(left, y, width, lineHeight(9)), n.batteryDetail, Fonts::system(9), FlowStyle::muted,
       0.8);

  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(toQColor(color.opacity(0.65)), 1.5));
  painter.drawRoundedRect(card.adjusted(0.75, 0.75, -0.75, -0.75), 11.25, 11.25);
  // The terminal, where the battery lane ends.
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(color.opacity(0.65)));
  painter.drawRoundedRect(qt(FlowScene::batteryTerminal), 2, 2);
}

}  // namespace

namespace FlowPainting {

void hardware(QPainter& painter, const FlowScene::Nodes& n) {
  painter.setBrush(toQColor(FlowStyle::blue.opacity(n.adapterFillOpacity)));
  painter.setPen(QPen(toQColor(FlowStyle::blue.opacity(n.adapterStrokeOpacity)), 1));
  painter.drawRoundedRect(qt(FlowScene::adapterFrame), 14, 14);

  const QRectF board = qt(FlowScene::mainboardFrame);
  QLinearGradient gradient(board.topLeft(), board.bottomRight());
  gradient.setColorAt(0, Qt::white);
  gradient.setColorAt(1, toQColor(FlowStyle::surface));
  painter.setBrush(gradient);
  painter.setPen(QPen(toQColor(FlowStyle::line), 1));
  painter.drawRoundedRect(board, 12, 12);

  // Two circuit traces and four screws, placed from the board's top left corner.
  const auto at = [&](double x, double y) { return Point{board.left() + x, board.top() + y}; };
  QPainterPath traces = polylinePath({at(19, 11), at(46, 11), at(50, 7)});
  traces.addPath(polylinePath({at(19, 65), at(40, 65), at(44, 69)}));
  painter.strokePath(traces, roundPen(FlowStyle::blue.opacity(0.15), 1));

  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(toQColor(FlowStyle::line), 0.7));
  for (const QPointF& screw : {board.topLeft() + QPointF(6, 6), board.topRight() + QPointF(-6, 6),
                               board.bottomLeft() + QPointF(6, -6), board.bottomRight() + QPointF(-6, -6)})
    painter.drawEllipse(screw, 1.4, 1.4);
}

std::vector<LaneOutlines> outlines(const FlowScene::FlowLayer& layer) {
  std::vector<LaneOutlines> result;
  for (const auto& lane : layer.lanes) {
    const QPainterPath path = polylinePath(lane.polyline);
    QPainterPath chevrons;
    for (const auto& chevron : lane.chevrons) {
      chevrons.moveTo(qt(chevron[0]));
      chevrons.lineTo(qt(chevron[1]));
      chevrons.lineTo(qt(chevron[2]));
    }
    result.push_back({outline(path, lane.under), toQColor(lane.under.color), outline(path, lane.main),
                      toQColor(lane.main.color), outline(chevrons, {lane.color, 2.5, false}),
                      toQColor(lane.color)});
  }
  return result;
}

void strokes(QPainter& painter, const std::vector<LaneOutlines>& outlines) {
  for (const LaneOutlines& lane : outlines) {
    painter.fillPath(lane.under, lane.underColor);
    painter.fillPath(lane.main, lane.mainColor);
  }
}

void flow(QPainter& painter, const FlowScene::FlowLayer& layer, const std::vector<LaneOutlines>& outlines) {
  painter.setPen(Qt::NoPen);
  for (std::size_t i = 0; i < layer.lanes.size() && i < outlines.size(); ++i) {
    for (const auto& dot : layer.lanes[i].dots) {
      painter.setBrush(toQColor(dot.color));
      fillDot(painter, dot.centre, dot.radius);
    }
    painter.fillPath(outlines[i].chevrons, outlines[i].chevronColor);
  }
  painter.setBrush(toQColor(layer.junctionColor));
  fillDot(painter, layer.junction, layer.junctionRadius);
}

void nodes(QPainter& painter, const FlowScene::Nodes& n) {
  sourceNode(painter, n);
  mainboardNode(painter, n);
  batteryNode(painter, n);
}

}  // namespace FlowPainting

FlowDiagram::FlowDiagram(const Clock& clock, QWidget* parent) : QWidget(parent), clock_(clock) {
  // 34 ms keeps the rate at or below 30 frames a second; a precise timer never fires early.
  frameTimer_.setInterval(34);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { update(movingRect()); });
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  // The diagram always sits on the panel's white and paints it itself, so a
  // frame does not make the widgets behind it repaint.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSnapshot(PowerSnapshot());
}

void FlowDiagram::setSnapshot(const PowerSnapshot& snapshot) {
  snapshot_ = snapshot;
  // The kept layers are drawn again only when what they show changes, not with every reading's time.
  FlowScene::Nodes nodes = FlowScene::nodes(snapshot);
  // Strokes and chevrons do not depend on the time or on motion.
  FlowScene::FlowLayer still = FlowScene::flowLayer(snapshot, true, 0);
  const bool strokes =
      !std::equal(still.lanes.begin(), still.lanes.end(), still_.lanes.begin(), still_.lanes.end(),
                  [](const FlowScene::Lane& a, const FlowScene::Lane& b) {
                    return a.polyline == b.polyline && a.flowing == b.flowing && a.under == b.under &&
                           a.main == b.main && a.chevrons == b.chevrons && a.color == b.color;
                  });
  if (strokes) {
    outlines_ = FlowPainting::outlines(still);
    flows_ =
        std::any_of(still.lanes.begin(), still.lanes.end(), [](const auto& lane) { return lane.flowing; });
    moving_ = FlowScene::movingBounds(still);
  }
  if (strokes || nodes.adapterFillOpacity != nodes_.adapterFillOpacity ||
      nodes.adapterStrokeOpacity != nodes_.adapterStrokeOpacity)
    hardware_ = QImage();
  if (!(nodes == nodes_)) front_ = QImage();
  nodes_ = std::move(nodes);
  still_ = std::move(still);
  setAccessibleName(QString::fromStdString(FlowScene::accessibilityLabel(snapshot)));
  reconcileClock();
  update();
}

void FlowDiagram::setReduceMotion(bool reduceMotion) {
  if (reduceMotion == reduceMotion_) return;
  reduceMotion_ = reduceMotion;
  reconcileClock();
  update();
}

void FlowDiagram::setPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  reconcileClock();
}

void FlowDiagram::setPreviewTime(std::optional<double> seconds) {
  previewTime_ = seconds;
  reconcileClock();
  update();
}

void FlowDiagram::reconcileClock() {
  // Nothing moves without flow or motion, and a preview time never changes by itself.
  const bool run = isVisible() && !paused_ && !reduceMotion_ && !previewTime_ && flows_;
  if (run && !frameTimer_.isActive())
    frameTimer_.start();
  else if (!run)
    frameTimer_.stop();
}

void FlowDiagram::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  reconcileClock();
}

void FlowDiagram::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  reconcileClock();
}

QRect FlowDiagram::movingRect() const {
  const double scale = width() / kDesignWidth;
  return QRectF(moving_.x * scale, moving_.y * scale, moving_.width * scale, moving_.height * scale)
      .toAlignedRect();
}

int FlowDiagram::heightForWidth(int width) const {
  return static_cast<int>(std::ceil(kDesignHeight * width / kDesignWidth));
}

QSize FlowDiagram::sizeHint() const {
  return {static_cast<int>(kDesignWidth), static_cast<int>(kDesignHeight)};
}

const QImage& FlowDiagram::cached(Layer layer, double scale, double ratio) {
  QImage& image = layer == Layer::hardware ? hardware_ : front_;
  // As large as the widget, so that the opaque hardware layer covers all of it.
  const QSize pixels(static_cast<int>(std::ceil(width() * ratio)),
                     static_cast<int>(std::ceil(height() * ratio)));
  if (image.size() == pixels && image.devicePixelRatio() == ratio) return image;
  image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  // The hardware layer carries the white background and the lanes' strokes; the nodes are drawn over
  // the moving parts.
  image.fill(layer == Layer::hardware ? toQColor(FlowStyle::background) : QColor(Qt::transparent));
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(scale, scale);
  if (layer == Layer::hardware) {
    FlowPainting::hardware(painter, nodes_);
    FlowPainting::strokes(painter, outlines_);
  } else {
    FlowPainting::nodes(painter, nodes_);
  }
  return image;
}

void FlowDiagram::paintEvent(QPaintEvent*) {
  ++frames_;
  const double scale = width() / kDesignWidth;
  QPainter painter(this);
  // Device pixels per point: the screen's ratio, or the scale of an image the widget is rendered into,
  // so that the kept layers are drawn one to one.
  const double ratio = painter.deviceTransform().m11();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPointF(0, 0), cached(Layer::hardware, scale, ratio));
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(scale, scale);
  const double time = FlowScene::animationTime(reduceMotion_, previewTime_, clock_.now());
  FlowPainting::flow(painter, FlowScene::flowLayer(snapshot_, reduceMotion_, time), outlines_);
  painter.restore();
  painter.drawImage(QPointF(0, 0), cached(Layer::nodes, scale, ratio));
}

}  // namespace wattline
