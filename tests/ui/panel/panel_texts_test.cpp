// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/panel_texts.h"

#include <gtest/gtest.h>

using namespace wattline;
using namespace wattline::PanelTexts;

namespace {

const Date kNow = dateFromSeconds(1'780'000'000);

Date ago(double seconds) {
  return kNow - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

TEST(PanelTexts, ComponentReadingsExpireAfterTwoIntervalsAndASecond) {
  struct Case {
    double age, interval;
    bool shown;
  } cases[] = {{3, 0.5, true}, {3.01, 0.5, false}, {11, 5, true}, {11.5, 5, false}, {-30, 1, true}};
  for (const auto& c : cases) {
    PowerSnapshot s = PowerSnapshot::demo(0, ago(c.age));
    const auto cells = componentCells(s, kNow, c.interval);
    EXPECT_EQ(cells[0].present, c.shown) << c.age << " s at " << c.interval;
    EXPECT_EQ(cells[0].value, c.shown ? "≈7.8 W" : "— W") << c.age;
    EXPECT_EQ(cells[1].value, c.shown ? "≈1.4 W" : "— W") << c.age;
    EXPECT_EQ(cells[2].value, c.shown ? "2.3 W" : "— W") << c.age;
  }
  // Each cell follows its own time stamp.
  PowerSnapshot s = PowerSnapshot::demo(0, kNow);
  s.displayUpdatedAt.reset();
  const auto cells = componentCells(s, kNow, 1);
  EXPECT_TRUE(cells[0].present && !cells[2].present);
}

TEST(PanelTexts, SensorRowNeedsFreshDetailReadings) {
  PowerSnapshot s = PowerSnapshot::demo(0, kNow);
  s.fanSpeeds = {{2, 1200.4}, {1, 2500.6}};
  // Up to one second in the future still counts; stale or missing does not.
  struct Case {
    double age;
    bool fresh;
  } cases[] = {{-1, true}, {-1.5, false}, {3, true}, {3.5, false}};
  for (const auto& c : cases) {
    s.detailSensorsUpdatedAt = ago(c.age);
    EXPECT_EQ(fanText(s, kNow, 1), c.fresh ? "2501 / 1200 RPM" : "— RPM") << c.age;
    EXPECT_EQ(wifiText(s, kNow, 1), c.fresh ? "≈0.033 W" : "— W") << c.age;
  }
  s.detailSensorsUpdatedAt = kNow;
  s.fanSpeeds.clear();
  EXPECT_EQ(fanText(s, kNow, 1), "— RPM");
}

TEST(PanelTexts, RankingByItsSourceAndPhaseAndTheHistoryError) {
  using Phase = ProcessPowerSnapshot::Phase;
  const std::vector<ProcessPowerRow> rows = {{"a", "浏览器", 1.2, 3}};
  struct Case {
    bool preview, demo;
    Phase phase;
    std::optional<Date> updated;
    bool withRows;
    std::optional<std::string> message;
    std::size_t shown;
  } cases[] = {
      {false, false, Phase::unavailable, kNow, true, "系统未提供进程能耗读数", 0},
      {false, false, Phase::ready, ago(7), true, "读数已过期，等待新采样", 0},
      {false, false, Phase::ready, ago(6), false, "当前暂无可排名的活跃进程", 0},
      {false, false, Phase::ready, ago(6), true, std::nullopt, 1},
      {false, false, Phase::idle, std::nullopt, false, "正在采样…", 0},
      // Only a still preview of a demonstration shows the sample ranking.
      {true, true, Phase::idle, std::nullopt, false, std::nullopt, 3},
      {true, false, Phase::idle, std::nullopt, false, "正在采样…", 0},
      {false, true, Phase::idle, std::nullopt, false, "正在采样…", 0},
  };
  for (const auto& c : cases) {
    const ProcessPowerSnapshot monitored{c.phase, c.withRows ? rows : std::vector<ProcessPowerRow>{},
                                         c.updated};
    const auto details =
        extraDetails(PowerSnapshot::demo(0, kNow), shownRanking(c.preview, c.demo, monitored, kNow), kNow, 1);
    EXPECT_EQ(details.message, c.message) << static_cast<int>(c.phase) << c.preview << c.demo;
    EXPECT_EQ(details.rows.size(), c.shown) << static_cast<int>(c.phase) << c.preview << c.demo;
  }
  EXPECT_EQ(historyErrorText("磁盘已满"), "历史记录失败：磁盘已满");
  EXPECT_FALSE(historyErrorText(std::nullopt));
}

TEST(PanelTexts, TrendChartBreaksAtGapsAndPinsOldSamplesLeft) {
  // A 104 x 50 canvas: x runs 2...102 over the minute, y 47 (0 W) ... 3 (the bound).
  const std::vector<PowerSample> samples = {{ago(90), 40.0},         {ago(60), 10.0}, {ago(30), 20.0},
                                            {ago(15), std::nullopt}, {ago(6), 12.0},  {ago(0), 6.0}};
  const auto chart = trendChart(samples, kNow, {104, 50});
  EXPECT_EQ(chart.upperBound, 25);
  EXPECT_EQ(chart.topLabel, "25 W");
  EXPECT_EQ(chart.gridY, (std::array<double, 3>{47, 25, 3}));
  ASSERT_EQ(chart.segments.size(), 2u);
  EXPECT_EQ(chart.segments[0].first, (Point{2, 47 - 44 * 10.0 / 25}));
  EXPECT_EQ(chart.segments[0].second, (Point{52, 47 - 44 * 20.0 / 25}));
  EXPECT_NEAR(chart.segments[1].first.x, 92, 1e-9);
  EXPECT_EQ(chart.segments[1].second, (Point{102, 47 - 44 * 6.0 / 25}));
  EXPECT_EQ(chart.lastDot, chart.segments[1].second);
  EXPECT_FALSE(chart.waiting);

  const auto empty = trendChart({{ago(5), std::nullopt}}, kNow, {104, 50});
  EXPECT_TRUE(empty.waiting && empty.segments.empty() && !empty.lastDot);
  EXPECT_EQ(empty.topLabel, "5 W");
  EXPECT_TRUE(trendChart({}, kNow, {104, 50}).waiting);
}

// What the panel shows of its own state is checked through the panel; here what it cannot reach.
TEST(PanelTexts, HeaderAndFooterTexts) {
  PowerSnapshot live = PowerSnapshot::demo(0, kNow);
  const auto cached = liveIndicator(live, false, kNow, 1);
  EXPECT_EQ(std::tie(cached.color, cached.text), std::make_tuple(FlowStyle::amber, std::string("系统缓存")));
  live.batterySource = live.inputSource = PowerDataSource::sensor;
  EXPECT_EQ(liveIndicator(live, false, kNow, 1).color, FlowStyle::aqua);
  EXPECT_EQ(liveIndicator(live, true, kNow, 1).color, FlowStyle::amber);
  EXPECT_EQ(customIntervalHint(true).color, FlowStyle::amber);
  EXPECT_EQ(detailsToggle(true, true).symbol + detailsToggle(false, false).symbol, "chevron.upchevron.down");
  // A preview showing details says so, while the monitor's own flag stays closed.
  const auto preview = detailsToggle(true, false);
  EXPECT_EQ(std::make_tuple(preview.title, preview.accessibleValue, preview.toolTip),
            std::make_tuple(std::string("收起"), std::string("已收起"),
                            std::string("展开整机功耗趋势和分项功耗说明")));
}
