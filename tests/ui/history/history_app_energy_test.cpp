// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_app_energy.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

using Line = HistoryAppEnergy::Line;

TEST(HistoryAppEnergy, LinesGiveEnergyShareAndPowerWithTheUnbilledLast) {
  AppEnergyRanking ranking;
  ranking.apps = {{"desktop:a", "A", 5400, 30}, {"exec:/b", "B", 1800, 10}};
  ranking.unbilled = AppEnergyTotal{"", "", 3600, std::nullopt};
  ranking.billedJoules = 9000;  // an app past the shown ones holds the rest
  ranking.seconds = 1800;
  const std::vector<Line> lines = HistoryAppEnergy::lines(ranking, "exec:/b");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (Line{"desktop:a", "A", "1.50 Wh", "60%", "3.0 W", 0.6,
                            HistoryAppEnergy::color("desktop:a"), false}));
  EXPECT_EQ(std::make_tuple(lines[1].share, lines[1].power, lines[1].selected),
            std::make_tuple("20%", "1.0 W", true));
  EXPECT_EQ(std::make_tuple(lines[2].app, lines[2].name, lines[2].energy, lines[2].share, lines[2].power),
            std::make_tuple("", "未归属（空闲与内核）", "1.00 Wh", "", "2.0 W"));
  // Nothing measured: no lines; nothing billed or no measured time: no share, no power.
  EXPECT_TRUE(HistoryAppEnergy::lines({}, std::nullopt).empty());
  ranking.billedJoules = 0;
  ranking.seconds = 0;
  EXPECT_EQ(std::make_tuple(HistoryAppEnergy::lines(ranking, std::nullopt)[0].share,
                            HistoryAppEnergy::lines(ranking, std::nullopt)[0].power),
            std::make_tuple("—%", "— W"));
  EXPECT_NE(HistoryAppEnergy::color("desktop:a"), HistoryAppEnergy::color("exec:/b"));
}

// Ten minutes on a 600-point plot: one point a minute at its middle, runs broken where a minute is missing,
// a lone minute a dot, minutes outside the window left out.
TEST(HistoryAppEnergy, OverlayKeepsGapsAndScalesLikeTheChart) {
  HistoryScene scene;
  scene.plot = {0, 0, 600, 100};
  scene.yMax = 10;
  const std::int64_t start = 6000;
  HistoryAppEnergy::addOverlay(
      scene, {{5940, 1}, {6000, 5}, {6060, 10}, {6180, 2}, {6300, 20}, {6360, 4}, {6600, 9}}, start,
      start + 600, {});
  ASSERT_EQ(scene.curves.size(), 2u);
  EXPECT_EQ(scene.curves[0].points, (std::vector<Point>{{30, 50}, {90, 0}}));
  EXPECT_EQ(scene.curves[1].points, (std::vector<Point>{{330, 0}, {390, 60}}));  // held at the axis' top
  ASSERT_EQ(scene.dots.size(), 1u);
  EXPECT_EQ(scene.dots[0].centre, (Point{210, 80}));
}

}  // namespace
}  // namespace wattline
