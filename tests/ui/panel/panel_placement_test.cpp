// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/qt/screen_geometry.h"
#include "ui/panel/panel_placement.h"

using namespace wattline;
using namespace wattline::PanelPlacement;

TEST(PanelPlacement, SizeFollowsMeasuredHeightsWithinItsFloor) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    double content, footer, height;
  } cases[] = {{250, 40, 300}, {400.2, 41, 442}, {0, 50, 300}, {nan, 50, 300}, {50, inf, 300}};
  for (const auto& c : cases)
    EXPECT_EQ(sizeForContent(c.content, c.footer), (Size{420, c.height})) << c.content;
}

TEST(PanelPlacement, SafeBoundsKeepClearOfTheMenuBarTheHousingAndTheEdges) {
  // A notched 1512 x 982 display: the visible frame ends below the menu bar.
  EXPECT_EQ(safeBounds({0, 0, 1512, 982}, {0, 0, 1512, 949}, 32), (Rect{10, 10, 1492, 929}));
  EXPECT_EQ(safeBounds({0, 0, 100, 100}, {200, 200, 50, 50}, 0), Rect{});
  // A tiny visible frame: the inset never exceeds a quarter of it.
  EXPECT_EQ(safeBounds({0, 0, 1000, 800}, {0, 0, 20, 800}, 0), (Rect{5, 5, 10, 790}));
  // The top band eats the whole visible height: no inset, nothing left.
  EXPECT_EQ(safeBounds({0, 0, 1000, 800}, {0, 0, 1000, 800}, 900), (Rect{0, 0, 1000, 0}));
  // A negative inset counts as none.
  EXPECT_EQ(safeBounds({0, 0, 1000, 800}, {0, 0, 1000, 770}, -5), (Rect{10, 10, 980, 750}));
}

TEST(PanelPlacement, FrameHangsBelowTheButtonInsideTheBounds) {
  const Rect bounds{10, 10, 1492, 929};
  const Size panel{420, 300};
  // Right edges line up, the top meets the button's bottom.
  EXPECT_EQ(frame(bounds, Rect{1200, 900, 60, 24}, panel), (Rect{840, 600, 420, 300}));
  // A button in the menu bar above the bounds, near either edge: the top stays at the bounds' top and the
  // whole panel is pushed inside them, not cut.
  EXPECT_EQ(frame(bounds, Rect{40, 950, 60, 24}, panel), (Rect{10, 639, 420, 300}));
  EXPECT_EQ(frame(bounds, Rect{1490, 950, 24, 24}, panel), (Rect{1082, 639, 420, 300}));
  // No anchor: the top right corner.
  EXPECT_EQ(frame(bounds, std::nullopt, panel), (Rect{1082, 639, 420, 300}));
  // Taller than the bounds: cut to their height, top at their top.
  EXPECT_EQ(frame(bounds, Rect{1200, 900, 60, 24}, Size{420, 2000}), (Rect{840, 10, 420, 929}));
  // A fractional position is rounded outwards, then kept inside.
  EXPECT_EQ(frame(bounds, Rect{1200.5, 900, 60, 24}, Size{420, 300.5}), (Rect{840, 599, 421, 301}));
  EXPECT_EQ(frame(Rect{}, std::nullopt, panel), Rect{});
}

TEST(PanelPlacement, MenuItemFitsOnlyWhollyBesideTheHousing) {
  const Rect screen{0, 0, 1512, 982};
  const std::vector<Rect> beside{{0, 950, 660, 32}, {852, 950, 660, 32}};
  EXPECT_TRUE(menuItemFits({851.5, 951, 40, 24}, screen, beside));  // within the 1-point tolerance
  EXPECT_FALSE(menuItemFits({640, 951, 40, 24}, screen, beside));   // behind the housing
  EXPECT_FALSE(menuItemFits({}, screen, beside));
  EXPECT_TRUE(menuItemFits({640, 951, 40, 24}, screen, {}));
  EXPECT_FALSE(menuItemFits({1500, 951, 40, 24}, screen, {}));
}

TEST(ScreenGeometry, UpwardsAndDownwardsMeetAtThePrimaryScreen) {
  // A panel at the top of a 1080-high primary screen in Qt's coordinates.
  const QRectF qt(1400, 30, 420, 300);
  const Rect up = toUpwards(qt, 1080);
  EXPECT_EQ(up, (Rect{1400, 750, 420, 300}));
  EXPECT_EQ(toDownwards(up, 1080), qt);
  // A screen stacked above the primary one lies above it upwards too.
  EXPECT_EQ(toUpwards(QRectF(0, -768, 1366, 768), 1080), (Rect{0, 1080, 1366, 768}));
}
