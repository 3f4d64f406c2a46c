// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>

namespace wattline {

// Plain geometry in design points, for screens, placement and the pure scene code.
struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double maxX() const { return x + width; }
  double minY() const { return y; }
  double maxY() const { return y + height; }
  bool isEmpty() const { return !(width > 0) || !(height > 0); }
  // The overlap of two rectangles, or the zero rectangle when they do not overlap.
  Rect intersected(const Rect& other) const {
    const double left = std::max(minX(), other.minX()), right = std::min(maxX(), other.maxX());
    const double low = std::max(minY(), other.minY()), high = std::min(maxY(), other.maxY());
    if (!(right > left) || !(high > low)) return {};
    return {left, low, right - left, high - low};
  }
  Rect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
  bool contains(Point point) const {
    return point.x >= minX() && point.x <= maxX() && point.y >= minY() && point.y <= maxY();
  }
  bool contains(const Rect& inner) const {
    return inner.minX() >= minX() && inner.maxX() <= maxX() && inner.minY() >= minY() &&
           inner.maxY() <= maxY();
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace wattline
