// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/app_energy_types.h"

namespace wattline {

std::optional<double> energyShare(const AppEnergyTotal& app, const AppEnergyRanking& ranking) {
  if (!(ranking.billedJoules > 0)) return std::nullopt;
  return app.joules / ranking.billedJoules;
}

std::optional<double> averageWatts(const AppEnergyTotal& app, const AppEnergyRanking& ranking) {
  if (!(ranking.seconds > 0)) return std::nullopt;
  return app.joules / ranking.seconds;
}

}  // namespace wattline
