// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_app_energy.h"

#include <array>

#include "history/history_export.h"
#include "ui/history/history_texts.h"

namespace wattline::HistoryAppEnergy {

namespace {

constexpr std::array<StyleColor, 8> kPalette = {{{0.16, 0.40, 0.84},
                                                 {0.80, 0.43, 0.09},
                                                 {0.02, 0.56, 0.37},
                                                 {0.58, 0.27, 0.73},
                                                 {0.85, 0.20, 0.35},
                                                 {0.10, 0.60, 0.70},
                                                 {0.55, 0.45, 0.10},
                                                 {0.35, 0.35, 0.80}}};

std::string watts(std::optional<double> value) {
  return value ? HistoryTexts::formatted("%.1f W", *value) : "— W";
}

}  // namespace

StyleColor color(std::string_view app) {
  // FNV-1a: stable across runs and builds, unlike std::hash.
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : app) hash = (hash ^ c) * 16777619u;
  return kPalette[hash % kPalette.size()];
}

std::vector<Line> lines(const AppEnergyRanking& ranking, const std::optional<std::string>& selected) {
  std::vector<Line> result;
  for (const AppEnergyTotal& app : ranking.apps) {
    const std::optional<double> share = energyShare(app, ranking);
    result.push_back({app.app, app.name, HistoryTexts::formatted("%.2f Wh", app.joules / 3600),
                      share ? HistoryTexts::formatted("%.0f%%", *share * 100) : "—%",
                      watts(averageWatts(app, ranking)), share.value_or(0), color(app.app),
                      selected == app.app});
  }
  if (ranking.unbilled)
    result.push_back({"", kUnbilledName, HistoryTexts::formatted("%.2f Wh", ranking.unbilled->joules / 3600),
                      "", watts(averageWatts(*ranking.unbilled, ranking)), 0, SystemColors::secondaryLabel,
                      false});
  return result;
}

void addOverlay(HistoryScene& scene, const std::vector<AppPowerPoint>& points, std::int64_t start,
                std::int64_t end, StyleColor color) {
  const double span = static_cast<double>(std::max<std::int64_t>(end - start, 1));
  auto at = [&](const AppPowerPoint& point) {
    const double middle = static_cast<double>(point.minute - start) + static_cast<double>(point.width) / 2;
    const double x = scene.plot.minX() + middle / span * scene.plot.width;
    return Point{x, scene.plot.maxY() - std::min(point.watts, scene.yMax) / scene.yMax * scene.plot.height};
  };
  std::vector<Point> run;
  auto flush = [&] {
    if (run.size() == 1) scene.dots.push_back({run.front(), color});
    if (run.size() > 1) scene.curves.push_back({std::move(run), color, 1.5, std::nullopt});
    run.clear();
  };
  std::optional<std::int64_t> previousEnd;
  for (const AppPowerPoint& point : points) {
    const std::int64_t middle = point.minute + point.width / 2;
    if (middle < start || middle > end) continue;
    if (previousEnd && point.minute > *previousEnd) flush();
    run.push_back(at(point));
    previousEnd = point.minute + point.width;
  }
  flush();
}

}  // namespace wattline::HistoryAppEnergy
