// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/status_item_rules.h"

#include <algorithm>
#include <cmath>

#include "ui/panel/panel_placement.h"

namespace wattline {

double nextAnimationPhase(double phase, bool reduceMotion, bool available) {
  if (reduceMotion || !available) return phase;
  const double next = phase + 0.13;
  return next - std::floor(next);
}

std::optional<double> staleReadingLimit(Date readAt, Date now, double refreshInterval) {
  const double limit = 3 * refreshInterval;
  if (secondsBetween(readAt, now) > limit) return limit;
  return std::nullopt;
}

bool itemCrowded(const TrayItemPlace& place) {
  const Rect& r = place.item;
  if (r.isEmpty()) return false;
  const double bar = std::max(place.barThickness, place.safeTop);
  if (r.minY() < place.screen.maxY() - bar - 2) return false;
  return !PanelPlacement::menuItemFits(r, place.screen, place.unobscuredTopAreas);
}

}  // namespace wattline
