// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wattline;
using namespace wattline::FlowScene;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

PowerSnapshot scene(int index) {
  return PowerSnapshot::demo(index, kNow);
}

// The adapter's lane of a connected snapshot drawing `watts`.
Lane adapterLane(std::optional<double> watts, bool reduceMotion = false, double time = 0.5) {
  PowerSnapshot s = scene(0);
  s.inputWatts = watts;
  return flowLayer(s, reduceMotion, time).lanes.at(0);
}

}  // namespace

TEST(FlowScene, PolylineLengthAndPointsClampAndSurviveEmptySegments) {
  const auto path = points({{0, 0}, {0, 0}, {30, 40}, {30, 40}, {30, 50}});
  EXPECT_DOUBLE_EQ(length(path), 60);
  EXPECT_DOUBLE_EQ(length(points({{5, 5}})), 0);
  struct Case {
    double fraction;
    Point expected;
  } cases[] = {{-1, {0, 0}}, {0.5, {18, 24}}, {0.9, {30, 44}}, {2, {30, 50}}};
  for (const auto& c : cases) {
    const Point p = point(c.fraction, path);
    EXPECT_NEAR(p.x, c.expected.x, 1e-9) << c.fraction;
    EXPECT_NEAR(p.y, c.expected.y, 1e-9) << c.fraction;
  }
  EXPECT_EQ(point(0.5, {}), (Point{0, 0}));
}

TEST(FlowScene, LinesFlowAboveATenthOfAWattWithDotsOnlyWhileMovingAndChevronsAlongTheLine) {
  for (std::optional<double> watts : {std::optional<double>(), std::optional(0.1)}) {
    const Lane lane = adapterLane(watts);
    EXPECT_FALSE(lane.flowing);
    EXPECT_TRUE(lane.main.dashed && lane.main.color == FlowStyle::line && lane.main.width == 3);
    EXPECT_TRUE(lane.dots.empty() && lane.chevrons.empty());
  }
  const Lane lane = adapterLane(52);
  EXPECT_TRUE(lane.flowing && !lane.main.dashed);
  // A 48-point lane carries two dots of five circles each.
  ASSERT_EQ(lane.dots.size(), 10u);
  // 52 W: 55.2 points per second over 48 points. At 0.5 s the first head sits 57.5 % along.
  EXPECT_NEAR(lane.rate, 55.2 / 48, 1e-12);
  EXPECT_NEAR(lane.dots[4].centre.x, 122 + 48 * 0.575, 1e-9);
  EXPECT_EQ(lane.dots[4].color, FlowStyle::blue);
  // The trail lags by 1.2 % of the line per step, fading to 0.24.
  EXPECT_NEAR(lane.dots[0].centre.x, 122 + 48 * (0.575 - 0.048), 1e-9);
  EXPECT_NEAR(lane.dots[0].color.alpha, 0.24, 1e-12);
  // The second head, half the line behind, wraps round: 7.5 %.
  EXPECT_NEAR(lane.dots[9].centre.x, 122 + 48 * 0.075, 1e-9);
  // A head just past the start: its trail stops there instead of wrapping.
  const Lane early = adapterLane(52, false, 0.02 / lane.rate);
  EXPECT_EQ(std::make_pair(early.dots[0].centre.x, early.dots[2].centre.x), std::make_pair(122.0, 122.0));
  EXPECT_NEAR(early.dots[3].centre.x, 122 + 48 * 0.008, 1e-9);

  EXPECT_DOUBLE_EQ(dotSpeed(250), 84);

  ASSERT_EQ(lane.chevrons.size(), 2u);
  // Pointing right along y 94: the arms sit 7·cos(π/5) behind the tip, 7·sin(π/5) above and below.
  const auto& c = lane.chevrons[0];
  EXPECT_NEAR(c[1].x, 122 + 48 * 0.35, 1e-9);
  EXPECT_NEAR(c[0].x, c[1].x - 7 * std::cos(M_PI / 5), 1e-9);
  EXPECT_NEAR(c[0].y, 94 + 7 * std::sin(M_PI / 5), 1e-9);
  EXPECT_NEAR(c[2].y, 94 - 7 * std::sin(M_PI / 5), 1e-9);
  EXPECT_NEAR(lane.chevrons[1][1].x, 122 + 48 * 0.77, 1e-9);
  // Reduced motion keeps the glow, the stroke and the chevrons, but no dots, and stops the clock.
  const Lane still = adapterLane(52, true);
  EXPECT_TRUE(still.flowing && !still.main.dashed && still.chevrons.size() == 2 && still.dots.empty());
  EXPECT_EQ(animationTime(true, 12.5, kNow), 0);
  EXPECT_EQ(animationTime(false, 12.5, kNow), 12.5);
  EXPECT_EQ(animationTime(false, std::nullopt, dateFromSeconds(978307200 + 3.25)), 3.25);
}

TEST(FlowScene, DischargingLanesAndJunctionFollowTheAdapter) {
  // Scene 3: adapter plus a discharging battery; scene 1: battery alone.
  const auto both = flowLayer(scene(3), false, 0);
  ASSERT_EQ(both.lanes.size(), 4u);
  EXPECT_EQ(both.lanes[1].polyline, points({{170, 94}, {170, 42}, {220, 42}}));
  EXPECT_EQ(both.lanes[3].polyline, points({{170, 94}, {176, 94}, {176, 48}, {220, 48}}));
  EXPECT_EQ(both.lanes[3].color, FlowStyle::amber);
  EXPECT_EQ(both.lanes[2].polyline, points({{212, 142}, {170, 142}, {170, 94}}));
  EXPECT_EQ(both.junctionColor, FlowStyle::blue);

  const auto alone = flowLayer(scene(1), false, 0);
  ASSERT_EQ(alone.lanes.size(), 4u);
  EXPECT_EQ(alone.lanes[3].polyline, points({{170, 94}, {170, 42}, {220, 42}}));
  EXPECT_TRUE(alone.lanes[3].flowing && !alone.lanes[0].flowing && !alone.lanes[1].flowing);
  EXPECT_EQ(alone.junctionColor, FlowStyle::amber);

  // Charging: three lanes, the battery's in aqua towards the battery; an idle battery has a grey junction
  // alone.
  const auto charging = flowLayer(scene(0), false, 0);
  ASSERT_EQ(charging.lanes.size(), 3u);
  EXPECT_EQ(charging.lanes[2].polyline, points({{170, 94}, {170, 142}, {212, 142}}));
  EXPECT_EQ(charging.lanes[2].color, FlowStyle::aqua);
  PowerSnapshot idle = scene(2);
  idle.externalConnected = false;
  EXPECT_EQ(flowLayer(idle, false, 0).junctionColor, FlowStyle::muted);
}

TEST(FlowScene, NodeTextsForEachBatteryState) {
  struct Case {
    int scene;
    bool external;
    const char *word, *arrow, *source, *detail;
    StyleColor color;
    double levelOpacity;
  } cases[] = {
      {0, true, "充电", "arrow.down", "52.0 W", "2.60 A · 20.00 V", FlowStyle::aqua, 0.10},
      {1, false, "放电", "arrow.up", "未接入", "电源未连接", FlowStyle::amber, 0.10},
      {2, true, "待机", "pause.fill", "52.0 W", "2.60 A · 20.00 V", FlowStyle::aqua, 0.05},
      // Charging current without the adapter is not trusted as charging.
      {0, false, "未知", "arrow.down", "未接入", "电源未连接", FlowStyle::aqua, 0.10},
  };
  for (const auto& c : cases) {
    PowerSnapshot s = scene(c.scene);
    s.externalConnected = c.external;
    const Nodes n = nodes(s);
    EXPECT_EQ(std::make_tuple(n.stateWord, n.arrowSymbol, n.sourceValue, n.sourceDetail, n.batteryColor,
                              n.levelOpacity, n.percentText),
              std::make_tuple(c.word, c.arrow, c.source, c.detail, c.color, c.levelOpacity, "76%"));
    EXPECT_NEAR(n.levelWidth, 162 * 0.76, 1e-9);
  }
  PowerSnapshot estimated = scene(0);
  estimated.inputAmpsEstimated = estimated.inputWattsEstimated = estimated.systemEstimated = true;
  const Nodes n = nodes(estimated);
  EXPECT_EQ(n.sourceDetail, "≈2.60 A · 20.00 V");
  EXPECT_TRUE(n.sourceEstimated && n.systemEstimated);
  EXPECT_EQ(std::make_pair(n.adapterFillOpacity, n.adapterStrokeOpacity), std::make_pair(0.035, 0.25));
  EXPECT_EQ(nodes(scene(1)).adapterStrokeOpacity, 0.12);
  // Where no supply tells whether the adapter is there, its values are unknown rather than "未接入".
  PowerSnapshot unknown = scene(1);
  unknown.unavailable.emplace("externalConnected",
                              UnavailableReason{UnavailableReason::Kind::noDevice, "/sys"});
  unknown.inputAmps = unknown.inputWatts = std::nullopt;
  EXPECT_EQ(std::make_pair(nodes(unknown).sourceValue, nodes(unknown).sourceDetail),
            std::make_pair(std::string("— W"), std::string("— A · — V")));
}

TEST(FlowScene, MissingPercentAndNegativeBatteryValues) {
  PowerSnapshot s = scene(3);
  s.percent.reset();
  const Nodes n = nodes(s);
  EXPECT_EQ(std::make_tuple(n.levelWidth, n.percentText, n.batteryValue, n.batteryDetail),
            std::make_tuple(0.0, "—", "9.9 W", "0.80 A · 12.40 V"));
  EXPECT_EQ(accessibilityLabel(scene(3)),
            "三节点供电图：左侧电源、右上主板、右下电池。电源 + 电池共同供电。主板节点显示整机用电 27.9 瓦。"
            "电源输入 18.0 瓦。电池向主板供电 9.9 瓦。辅助读数：电源 0.90 安培、20.00 伏特；电池 0.80 "
            "安培、12.40 伏特。");
  EXPECT_EQ(accessibilityLabel(PowerSnapshot()),
            "三节点供电图：左侧电源、右上主板、右下电池。无法读取电源数据。主板节点显示整机用电 — "
            "瓦。电源输入 — 瓦。"
            "电池读数未知 — 瓦。辅助读数：电源 — 安培、— 伏特；电池 — 安培、— 伏特。");
  // The discharging battery's lanes carry its magnitude.
  EXPECT_NEAR(flowLayer(scene(3), false, 0).lanes[2].rate, (9.92 * 0.6 + 24) / 90, 1e-9);
}

TEST(FlowScene, TheMovingPartsStayInsideTheRepaintedRectangle) {
  for (int index = 0; index < 4; ++index) {
    const Rect bounds = movingBounds(flowLayer(scene(index), true, 0));
    const auto inside = [&](Point p, double reach) {
      return p.x - reach >= bounds.minX() && p.x + reach <= bounds.maxX() && p.y - reach >= bounds.minY() &&
             p.y + reach <= bounds.maxY();
    };
    for (double time : {0.0, 0.37, 1.9, 12345.6}) {
      const auto layer = flowLayer(scene(index), false, time);
      for (const auto& lane : layer.lanes) {
        for (const auto& dot : lane.dots) EXPECT_TRUE(inside(dot.centre, dot.radius + 0.5)) << index;
        for (const auto& chevron : lane.chevrons)
          for (const auto& p : chevron) EXPECT_TRUE(inside(p, 1.25 + 0.5)) << index;
      }
      EXPECT_TRUE(inside(layer.junction, layer.junctionRadius + 0.5));
    }
  }
}
