// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/panel_sections.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

#include "ui/style/fitted_text.h"
#include "ui/style/fonts.h"
#include "ui/style/qt_color.h"
#include "ui/style/symbols.h"

namespace wattline {

namespace {

using Fonts::lineHeight;
using Weight = Fonts::Weight;

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

double advance(const QFont& font, const std::string& text) {
  return QFontMetricsF(font).horizontalAdvance(q(text));
}

// Draws one line and returns its advance.
double drawText(QPainter& painter, const QRectF& box, const std::string& text, const QFont& font,
                StyleColor color, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
  painter.setFont(font);
  painter.setPen(toQColor(color));
  painter.drawText(box, alignment | Qt::TextSingleLine, q(text));
  return advance(font, text);
}

void begin(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
}

void roundedBackground(QPainter& painter, const QRectF& box, double radius) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(FlowStyle::surface));
  painter.drawRoundedRect(box, radius, radius);
}

void fixHeight(QWidget& widget, double height) {
  widget.setFixedHeight(static_cast<int>(std::ceil(height)));
}

// Powers rows: the title at 9 points, the value at 14.
constexpr double kCellPadding = 7, kCellSpacing = 3;

// The trend: a caption row, the chart, the rating and the note, 6 points apart.
constexpr double kTrendSpacing = 6, kChartHeight = 50, kAxisWidth = 30;

// The details box: padded 10, rows 7 apart, the ranking at least 56 high.
constexpr double kDetailsPadding = 10, kDetailsSpacing = 7, kRankingHeight = 56, kRankingRowSpacing = 4;

const char* kComponentHelp =
    "CPU/GPU 显示采样区间平均估算功率；屏幕仅含内置屏背光，不含外接显示器。缺失或过期读数显示 —。";
const char* kDetailsHelp =
    "按应用合并辅助进程的 CPU 侧平均估算功耗，不含 "
    "GPU、磁盘和网络等全部耗电。收起详情后停止扫描排行。风扇仅显示转速。";
const char* kWifiHelp = "传感器返回的参考功耗，部分机型不会随网络流量实时变化。";

}  // namespace

HeaderRow::HeaderRow(QWidget* parent) : QWidget(parent) {
  setFixedHeight(22);
}

void HeaderRow::setIndicator(PanelTexts::LiveIndicator indicator) {
  indicator_ = std::move(indicator);
  setAccessibleName(q(indicator_.text));
  update();
}

void HeaderRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  begin(painter);
  const double h = height();
  Symbols::draw(painter, "waveform.path", QRectF(0, 0, 16, h), 15, toQColor(FlowStyle::aqua));
  drawText(painter, QRectF(22, 0, width() - 22, h), "瓦迹", Fonts::system(13, Weight::semibold),
           FlowStyle::ink);
  const QFont small = Fonts::system(9);
  const double textWidth = advance(small, indicator_.text);
  const double textLeft = width() - textWidth;
  drawText(painter, QRectF(textLeft, 0, textWidth + 1, h), indicator_.text, small, FlowStyle::muted);
  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(indicator_.color));
  painter.drawEllipse(QRectF(textLeft - 4 - 4, h / 2 - 2, 4, 4));
}

StatusRow::StatusRow(QWidget* parent) : QWidget(parent) {
  fixHeight(*this, lineHeight(10));
}

void StatusRow::setStatus(std::string status, StyleColor color, std::optional<std::string> symbol,
                          std::optional<std::string> percent) {
  status_ = std::move(status);
  color_ = color;
  symbol_ = std::move(symbol);
  percent_ = std::move(percent);
  update();
}

void StatusRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  begin(painter);
  const QFont font = Fonts::system(10, Weight::medium);
  const double h = height();
  const double percentWidth = percent_ ? 8 + 12 + 5 + advance(font, *percent_) : 0;
  const double room = width() - percentWidth;
  painter.setPen(toQColor(color_));
  drawFittedText(painter, QRectF(0, 0, room, h), q(status_), font, 0.8);
  if (!percent_) return;
  const double statusWidth = std::min(room, advance(fittedFont(q(status_), font, room, 0.8), status_));
  double x = statusWidth + 8;
  if (symbol_) Symbols::draw(painter, *symbol_, QRectF(x, 0, 12, h), 12, toQColor(color_));
  drawText(painter, QRectF(x + 12 + 5, 0, width() - x, h), *percent_, font, color_);
}

ComponentPowerRow::ComponentPowerRow(QWidget* parent) : QWidget(parent) {
  fixHeight(*this, kCellPadding + lineHeight(9) + kCellSpacing + lineHeight(14) + kCellPadding);
  setToolTip(kComponentHelp);
}

void ComponentPowerRow::setCells(std::array<PanelTexts::ComponentCell, 3> cells) {
  cells_ = std::move(cells);
  QStringList names;
  for (const auto& cell : cells_) names << q(cell.title + " " + cell.value);
  setAccessibleName(names.join(QStringLiteral("，")));
  update();
}

void ComponentPowerRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  begin(painter);
  roundedBackground(painter, rect(), 9);
  const double inner = width() - 2 * kCellPadding, cellWidth = inner / 3;
  const QFont titleFont = Fonts::system(9), valueFont = Fonts::system(14, Weight::semibold);
  for (int i = 0; i < 3; ++i) {
    const auto& cell = cells_[i];
    const double left = kCellPadding + cellWidth * i;
    if (i > 0) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(toQColor(FlowStyle::line));
      painter.drawRect(QRectF(left - 0.25, height() / 2.0 - 11, 0.5, 22));
    }
    const double titleWidth = 12 + 3 + advance(titleFont, cell.title);
    const double titleLeft = left + (cellWidth - titleWidth) / 2;
    double y = kCellPadding;
    Symbols::draw(painter, cell.symbol, QRectF(titleLeft, y, 12, lineHeight(9)), 10,
                  toQColor(FlowStyle::muted));
    drawText(painter, QRectF(titleLeft + 15, y, titleWidth, lineHeight(9)), cell.title, titleFont,
             FlowStyle::muted);
    y += lineHeight(9) + kCellSpacing;
    painter.setPen(toQColor(cell.present ? FlowStyle::ink : FlowStyle::muted));
    drawFittedText(painter, QRectF(left + 4, y, cellWidth - 8, lineHeight(14)), q(cell.value), valueFont,
                   0.75, Qt::AlignCenter);
  }
}

PowerTrendView::PowerTrendView(QWidget* parent) : QWidget(parent) {
  setContent({});
}

void PowerTrendView::setContent(Content content) {
  content_ = std::move(content);
  double h = lineHeight(10) + kTrendSpacing + kChartHeight + 2 * (kTrendSpacing + lineHeight(9));
  if (content_.cacheNotice) h += kTrendSpacing + lineHeight(9);
  fixHeight(*this, h);
  update();
}

QRectF PowerTrendView::canvas() const {
  const double left = kAxisWidth + 6;
  return {left, lineHeight(10) + kTrendSpacing, width() - left, kChartHeight};
}

void PowerTrendView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  begin(painter);
  const QFont caption = Fonts::system(9);
  const double w = width();
  double x = drawText(painter, QRectF(0, 0, w, lineHeight(10)), "整机功耗 · W",
                      Fonts::system(10, Weight::medium), FlowStyle::muted);
  if (content_.estimated)
    drawText(painter, QRectF(x + 6, 0, w, lineHeight(10)), "估算", caption, FlowStyle::muted);
  drawText(painter, QRectF(0, 0, w, lineHeight(10)), "近 1 分钟", caption, FlowStyle::muted,
           Qt::AlignRight | Qt::AlignVCenter);

  const QRectF area = canvas();
  const auto chart = PanelTexts::trendChart(content_.samples, content_.now, {area.width(), area.height()});
  const QFont axis = Fonts::system(8);
  drawText(painter, QRectF(0, area.top(), kAxisWidth, lineHeight(8)), chart.topLabel, axis, FlowStyle::muted,
           Qt::AlignRight | Qt::AlignTop);
  drawText(painter, QRectF(0, area.bottom() - lineHeight(8), kAxisWidth, lineHeight(8)), "0", axis,
           FlowStyle::muted, Qt::AlignRight | Qt::AlignBottom);

  painter.save();
  painter.translate(area.topLeft());
  QPen grid(toQColor(FlowStyle::line), 0.5, Qt::CustomDashLine, Qt::FlatCap);
  grid.setDashPattern({2 / 0.5, 4 / 0.5});
  painter.setPen(grid);
  for (double y : chart.gridY) painter.drawLine(QPointF(0, y), QPointF(area.width(), y));
  painter.setPen(QPen(toQColor(FlowStyle::blue), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (const auto& [from, to] : chart.segments)
    painter.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
  if (chart.lastDot) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(FlowStyle::blue));
    painter.drawEllipse(QPointF(chart.lastDot->x, chart.lastDot->y), 2, 2);
  }
  if (chart.waiting)
    drawText(painter, QRectF(0, 0, area.width(), area.height()), "等待功耗采样…", caption, FlowStyle::muted,
             Qt::AlignCenter);
  painter.restore();

  double y = area.bottom() + kTrendSpacing;
  x = drawText(painter, QRectF(0, y, w, lineHeight(9)), "电源功率上限", caption, FlowStyle::muted);
  drawText(painter, QRectF(x + 4, y, w, lineHeight(9)), content_.adapterRating, caption, FlowStyle::muted);
  y += lineHeight(9) + kTrendSpacing;
  painter.setPen(toQColor(FlowStyle::muted));
  drawFittedText(painter, QRectF(0, y, w, lineHeight(9)),
                 "CPU/GPU 为采样区间平均估算；屏幕仅含内置背光。分项不等于整机总和。", caption, 0.8);
  if (content_.cacheNotice) {
    y += lineHeight(9) + kTrendSpacing;
    Symbols::draw(painter, "clock", QRectF(0, y, 11, lineHeight(9)), 10, toQColor(FlowStyle::muted));
    drawText(painter, QRectF(15, y, w, lineHeight(9)), "部分读数来自系统缓存", caption, FlowStyle::muted);
  }
}

ExtraDetailsView::ExtraDetailsView(QWidget* parent) : QWidget(parent) {
  setToolTip(kDetailsHelp);
  setContent({});
}

ExtraDetailsView::Layout ExtraDetailsView::layout(double width, const Content& content) {
  const double left = kDetailsPadding, w = width - 2 * kDetailsPadding, h = lineHeight(10);
  Layout l;
  l.sensors = {left, kDetailsPadding, w, h};
  l.wifiLabel = {left, kDetailsPadding, 14 + advance(Fonts::system(10), "Wi-Fi · 参考"), h};
  l.divider = {left, l.sensors.bottom() + kDetailsSpacing, w, 0.5};
  l.header = {left, l.divider.bottom() + kDetailsSpacing, w, h};
  l.message = {left, l.header.bottom() + 3, w, h};
  // The ranking lies one spacing below the header; its message sits closer, 3 points below.
  const double ranking = l.header.bottom() + kDetailsSpacing;
  const std::size_t rows = content.message ? 0 : content.rows.size();
  for (std::size_t i = 0; i < rows; ++i)
    l.rows.emplace_back(left, ranking + i * (h + kRankingRowSpacing), w, h);
  const double used = rows * h + std::max(0.0, rows - 1.0) * kRankingRowSpacing;
  l.height = ranking + std::max(kRankingHeight, used) + kDetailsPadding;
  return l;
}

void ExtraDetailsView::setContent(Content content) {
  content_ = std::move(content);
  fixHeight(*this, layout(width(), content_).height);
  update();
}

void ExtraDetailsView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  begin(painter);
  roundedBackground(painter, rect(), 10);
  const Layout l = layout(width(), content_);
  const QFont font = Fonts::system(10);
  const QColor muted = toQColor(FlowStyle::muted);

  const QRectF& row = l.sensors;
  Symbols::draw(painter, "wifi", QRectF(row.left(), row.top(), 11, row.height()), 11, muted);
  double x =
      row.left() + 14 + drawText(painter, row.adjusted(14, 0, 0, 0), "Wi-Fi · 参考", font, FlowStyle::muted);
  drawText(painter, QRectF(x + 6, row.top(), row.width(), row.height()), content_.wifi, font, FlowStyle::ink);
  const double fanWidth = advance(font, content_.fans), fanLabel = advance(font, "风扇");
  x = row.right() - fanWidth;
  drawText(painter, QRectF(x, row.top(), fanWidth + 1, row.height()), content_.fans, font, FlowStyle::ink);
  x -= 6 + fanLabel;
  drawText(painter, QRectF(x, row.top(), fanLabel + 1, row.height()), "风扇", font, FlowStyle::muted);
  Symbols::draw(painter, "fanblades", QRectF(x - 14, row.top(), 11, row.height()), 11, muted);

  painter.setPen(Qt::NoPen);
  painter.setBrush(toQColor(FlowStyle::line));
  painter.drawRect(l.divider);
  drawText(painter, l.header, "应用 / 进程 CPU 估算功耗", font, FlowStyle::muted);
  drawText(painter, l.header, "前 3 · 每 2 秒", Fonts::system(8), FlowStyle::muted,
           Qt::AlignRight | Qt::AlignVCenter);

  if (content_.message) {
    drawText(painter, l.message, *content_.message, font, FlowStyle::muted);
    return;
  }
  for (std::size_t i = 0; i < l.rows.size(); ++i) {
    const QRectF& rank = l.rows[i];
    const std::string watts = precisePowerReading(content_.rows[i].watts, true);
    const double wattsWidth = advance(font, watts);
    drawText(painter, rank, watts, font, FlowStyle::ink, Qt::AlignRight | Qt::AlignVCenter);
    painter.setPen(toQColor(FlowStyle::ink));
    const QRectF name(rank.left(), rank.top(), rank.width() - wattsWidth - 8, rank.height());
    drawFittedText(painter, name, q(content_.rows[i].name), font, 1, Qt::AlignLeft | Qt::AlignVCenter,
                   Qt::ElideMiddle);
  }
}

bool ExtraDetailsView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const Layout l = layout(width(), content_);
  QString text = kDetailsHelp;
  if (l.wifiLabel.contains(help->pos())) text = kWifiHelp;
  for (std::size_t i = 0; i < l.rows.size(); ++i)
    if (l.rows[i].contains(help->pos()))
      text = q(content_.rows[i].name + "，合计 " + std::to_string(content_.rows[i].processCount) +
               " 个活跃进程的 CPU 估算功耗");
  QToolTip::showText(help->globalPos(), text, this);
  return true;
}

}  // namespace wattline
