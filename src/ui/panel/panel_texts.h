// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/date.h"
#include "base/power_snapshot.h"
#include "platform/geometry.h"
#include "power/power_history.h"
#include "readers/process_power_snapshot.h"
#include "ui/style/colors.h"

namespace wattline {

// What the panel and its footer show, as plain values for a snapshot, the
// refresh interval and the time.
namespace PanelTexts {

// How old a component or detail reading may be: two intervals and a second, at least 3 s.
double freshnessLimit(double interval);
// Detail sensors also accept a time stamp up to a second in the future.
bool detailSensorsFresh(const PowerSnapshot& snapshot, Date now, double interval);

StyleColor batteryColor(const PowerSnapshot& snapshot);

// The header's live indicator.
struct LiveIndicator {
  StyleColor color;
  std::string text;
};
LiveIndicator liveIndicator(const PowerSnapshot& snapshot, bool demo, Date now, double interval);

// The battery symbol of the status row.
std::string statusBatterySymbol(const PowerSnapshot& snapshot);

struct ComponentCell {
  std::string title;
  std::string symbol;
  std::string value;
  bool present = false;  // ink when present, muted when not
};
std::array<ComponentCell, 3> componentCells(const PowerSnapshot& snapshot, Date now, double interval);

std::string wifiText(const PowerSnapshot& snapshot, Date now, double interval);
// Fan speeds by fan number, "2501 / 1200 RPM", or "— RPM".
std::string fanText(const PowerSnapshot& snapshot, Date now, double interval);

// The message shown instead of the ranking rows; nothing when the rows are shown.
std::optional<std::string> rankingMessage(const ProcessPowerSnapshot& ranking, Date now);

// The ranking a panel shows: a still preview of a demonstration shows the sample ranking, everything
// else the monitor's.
ProcessPowerSnapshot shownRanking(bool staticPreview, bool demo, const ProcessPowerSnapshot& monitored,
                                  Date now);

// The sensor row and the ranking of the details box.
struct ExtraDetails {
  std::string wifi;
  std::string fans;
  std::vector<ProcessPowerRow> rows;
  std::optional<std::string> message;  // instead of the rows
};
ExtraDetails extraDetails(const PowerSnapshot& snapshot, const ProcessPowerSnapshot& ranking, Date now,
                          double interval);

// The red line under the history button; nothing while history records.
std::optional<std::string> historyErrorText(const std::optional<std::string>& error);

// The one-minute trend in a canvas of `size` points.
struct TrendChart {
  double upperBound = 5;
  std::string topLabel;
  std::array<double, 3> gridY{};  // at 0, half and the whole bound
  std::vector<std::pair<Point, Point>> segments;
  std::optional<Point> lastDot;
  bool waiting = false;  // no sample has a reading
};
TrendChart trendChart(const std::vector<PowerSample>& samples, Date now, Size size);

// The custom interval field's text for an interval: "2", "0.5", "1.5".
std::string intervalFieldText(double seconds);

struct IntervalHint {
  std::string text;
  StyleColor color;
};
IntervalHint customIntervalHint(bool invalid);

struct DetailsToggle {
  std::string title;
  std::string symbol;
  std::string accessibleValue;
  std::string toolTip;
};
// `shown` also counts a preview with details; `expanded` is the monitor's flag alone.
DetailsToggle detailsToggle(bool shown, bool expanded);

}  // namespace PanelTexts

}  // namespace wattline
