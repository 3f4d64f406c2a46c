// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/app_energy_types.h"
#include "ui/history/history_drawing.h"
#include "ui/style/colors.h"

namespace wattline::HistoryAppEnergy {

// One line of the window's "应用耗电" section, as plain values.
struct Line {
  std::string app;  // empty for the unbilled energy, which cannot be selected
  std::string name;
  std::string energy;  // "1.25 Wh"
  std::string share;   // "34%" of the billed energy; empty for the unbilled line
  std::string power;   // its average over the measured time: "2.1 W", "— W" without any
  double bar = 0;      // its share, 0…1
  StyleColor color;
  bool selected = false;
  bool operator==(const Line&) const = default;
};

// The top apps, the largest first, then the unbilled energy as "未归属（空闲与内核）"; nothing for a range
// without ledger minutes.
std::vector<Line> lines(const AppEnergyRanking& ranking, const std::optional<std::string>& selected);

// The app's own colour, the same on every run.
StyleColor color(std::string_view app);

// The app's power on the chart's plot, each point in the middle of its minute (or hour): one curve per run
// of adjacent points, a lone point a dot. Minutes without a row stay gaps.
void addOverlay(HistoryScene& scene, const std::vector<AppPowerPoint>& points, std::int64_t start,
                std::int64_t end, StyleColor color);

}  // namespace wattline::HistoryAppEnergy
