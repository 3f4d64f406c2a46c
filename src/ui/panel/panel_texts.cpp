// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/panel_texts.h"

#include <algorithm>
#include <cstdio>

namespace wattline::PanelTexts {

namespace {

std::string format(const char* pattern, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, value);
  return buffer;
}

std::optional<double> freshComponent(std::optional<double> value, std::optional<Date> at, Date now,
                                     double interval) {
  if (!at || secondsBetween(*at, now) > freshnessLimit(interval)) return std::nullopt;
  return value;
}

}  // namespace

double freshnessLimit(double interval) {
  return std::max(3.0, 2 * interval + 1);
}

bool detailSensorsFresh(const PowerSnapshot& snapshot, Date now, double interval) {
  if (!snapshot.detailSensorsUpdatedAt) return false;
  const double age = secondsBetween(*snapshot.detailSensorsUpdatedAt, now);
  return age >= -1 && age <= freshnessLimit(interval);
}

StyleColor batteryColor(const PowerSnapshot& snapshot) {
  return snapshot.flow() == BatteryFlow::discharging ? FlowStyle::amber : FlowStyle::aqua;
}

LiveIndicator liveIndicator(const PowerSnapshot& snapshot, bool demo, Date now, double interval) {
  return {snapshot.liveCurrents() && !demo ? FlowStyle::aqua : FlowStyle::amber,
          demo ? "演示 · 非实测" : snapshot.freshnessLabel(now, interval)};
}

std::string statusBatterySymbol(const PowerSnapshot& snapshot) {
  return snapshot.flow() == BatteryFlow::charging ? "battery.100percent.bolt" : "battery.75percent";
}

std::array<ComponentCell, 3> componentCells(const PowerSnapshot& s, Date now, double interval) {
  struct Source {
    const char* title;
    const char* symbol;
    std::optional<double> value;
    std::optional<Date> at;
    bool estimated;
  };
  const Source sources[3] = {{"CPU", "cpu", s.cpuWatts, s.componentsUpdatedAt, true},
                             {"GPU", "square.stack.3d.up", s.gpuWatts, s.componentsUpdatedAt, true},
                             {"屏幕背光", "display", s.displayWatts, s.displayUpdatedAt, false}};
  std::array<ComponentCell, 3> cells;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const auto value = freshComponent(sources[i].value, sources[i].at, now, interval);
    cells[i] = {sources[i].title, sources[i].symbol,
                std::string(sources[i].estimated && value ? "≈" : "") + reading(value, "W", 1, false),
                value.has_value()};
  }
  return cells;
}

std::string wifiText(const PowerSnapshot& snapshot, Date now, double interval) {
  return precisePowerReading(detailSensorsFresh(snapshot, now, interval) ? snapshot.wifiWatts : std::nullopt,
                             true);
}

std::string fanText(const PowerSnapshot& snapshot, Date now, double interval) {
  if (!detailSensorsFresh(snapshot, now, interval) || snapshot.fanSpeeds.empty()) return "— RPM";
  auto fans = snapshot.fanSpeeds;
  std::stable_sort(fans.begin(), fans.end(),
                   [](const FanSpeed& a, const FanSpeed& b) { return a.id < b.id; });
  std::string text;
  for (const auto& fan : fans) text += (text.empty() ? "" : " / ") + format("%.0f", fan.rpm);
  return text + " RPM";
}

std::optional<std::string> rankingMessage(const ProcessPowerSnapshot& ranking, Date now) {
  using Phase = ProcessPowerSnapshot::Phase;
  switch (ranking.phase) {
    case Phase::unavailable:
      return "系统未提供进程能耗读数";
    case Phase::ready:
      if (!ranking.isFresh(now)) return "读数已过期，等待新采样";
      if (ranking.rows.empty()) return "当前暂无可排名的活跃进程";
      return std::nullopt;
    case Phase::idle:
    case Phase::sampling:
      break;
  }
  return "正在采样…";
}

ProcessPowerSnapshot shownRanking(bool staticPreview, bool demo, const ProcessPowerSnapshot& monitored,
                                  Date now) {
  return staticPreview && demo ? ProcessPowerSnapshot::preview(now) : monitored;
}

ExtraDetails extraDetails(const PowerSnapshot& snapshot, const ProcessPowerSnapshot& ranking, Date now,
                          double interval) {
  ExtraDetails details{
      wifiText(snapshot, now, interval), fanText(snapshot, now, interval), {}, rankingMessage(ranking, now)};
  if (!details.message) details.rows = ranking.rows;
  return details;
}

std::optional<std::string> historyErrorText(const std::optional<std::string>& error) {
  if (!error) return std::nullopt;
  return "历史记录失败：" + *error;
}

TrendChart trendChart(const std::vector<PowerSample>& samples, Date now, Size size) {
  const auto recent = PowerHistory::recent(samples, now);
  TrendChart chart;
  chart.upperBound = PowerHistory::upperBound(recent);
  chart.topLabel = format("%.0f W", chart.upperBound);
  const double w = size.width, h = size.height, top = chart.upperBound;
  const auto y = [&](double watts) { return (h - 3) - (h - 6) * watts / top; };
  chart.gridY = {y(0), y(top / 2), y(top)};
  const auto at = [&](const PowerSample& sample) {
    const double age = secondsBetween(sample.timestamp, now);
    return Point{2 + (w - 4) * std::max(0.0, 1 - age / PowerHistory::window), y(*sample.watts)};
  };
  for (std::size_t i = 1; i < recent.size(); ++i)
    if (recent[i - 1].watts && recent[i].watts) chart.segments.emplace_back(at(recent[i - 1]), at(recent[i]));
  if (!recent.empty() && recent.back().watts) chart.lastDot = at(recent.back());
  chart.waiting =
      std::none_of(recent.begin(), recent.end(), [](const auto& s) { return s.watts.has_value(); });
  return chart;
}

std::string intervalFieldText(double seconds) {
  return format("%g", seconds);
}

IntervalHint customIntervalHint(bool invalid) {
  if (invalid) return {"请输入 0.5–300 秒之间的数字", FlowStyle::amber};
  return {"支持 0.5–300 秒，设置会自动记住", FlowStyle::muted};
}

DetailsToggle detailsToggle(bool shown, bool expanded) {
  return {shown ? "收起" : "详情", shown ? "chevron.up" : "chevron.down", expanded ? "已展开" : "已收起",
          expanded ? "收起功耗趋势" : "展开整机功耗趋势和分项功耗说明"};
}

}  // namespace wattline::PanelTexts
