// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/panel_placement.h"

#include <cmath>

namespace wattline::PanelPlacement {

Size sizeForContent(double contentHeight, double footerHeight) {
  const double sum = contentHeight + footerHeight;
  if (!(std::isfinite(contentHeight) && contentHeight > 0 && std::isfinite(footerHeight) &&
        footerHeight > 0 && std::isfinite(sum)))
    return preferredSize;
  return {preferredSize.width, std::ceil(std::max(sum, preferredSize.height))};
}

Rect safeBounds(const Rect& screen, const Rect& visible, double safeTop, double margin) {
  const Rect r = screen.intersected(visible);
  if (r.isEmpty()) return {};
  const double top =
      safeTop >= 0 ? std::min(screen.maxY() - safeTop, r.maxY()) : std::min(screen.maxY(), r.maxY());
  const double available = top - r.minY();
  const double inset = std::min({margin, r.width / 4, std::max(0.0, available / 4)});
  return {r.minX() + inset, r.minY() + inset, std::max(0.0, r.width - 2 * inset),
          std::max(0.0, available - 2 * inset)};
}

Rect frame(const Rect& bounds, const std::optional<Rect>& anchor, Size desired) {
  const double w = std::min(bounds.width, std::max(desired.width, 0.0));
  const double h = std::min(bounds.height, std::max(desired.height, 0.0));
  const double right = anchor ? anchor->maxX() : bounds.maxX();
  const double x = std::min(bounds.maxX() - w, std::max(right - w, bounds.minX()));
  const double panelTop = std::min(bounds.maxY(), anchor ? anchor->minY() : bounds.maxY());
  const double y = std::min(bounds.maxY() - h, std::max(bounds.minY(), panelTop - h));
  // Whole points, rounded outwards, then kept inside the bounds.
  const double left = std::floor(x), low = std::floor(y);
  const Rect rounded{left, low, std::ceil(x + w) - left, std::ceil(y + h) - low};
  const double l = std::max(rounded.minX(), bounds.minX()), r = std::min(rounded.maxX(), bounds.maxX());
  const double b = std::max(rounded.minY(), bounds.minY()), t = std::min(rounded.maxY(), bounds.maxY());
  if (r < l || t < b) return {};
  return {l, b, r - l, t - b};
}

bool menuItemFits(const Rect& item, const Rect& screen, const std::vector<Rect>& unobscuredTopAreas) {
  if (item.isEmpty()) return false;
  if (unobscuredTopAreas.empty()) return screen.insetBy(-1, -1).contains(item);
  for (const Rect& area : unobscuredTopAreas)
    if (area.insetBy(-1, -1).contains(item)) return true;
  return false;
}

}  // namespace wattline::PanelPlacement
