// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QAccessible>
#include <QSlider>
#include <QTest>

#include "history_ui_support.h"
#include "ui/history/history_chart_accessible.h"
#include "ui/history/history_chart_geometry.h"
#include "ui/history/history_overview.h"
#include "ui/history/history_power_chart.h"

namespace wattline {
namespace {

using namespace wattline::testing;
namespace Chart = HistoryChartGeometry;
namespace Overview = HistoryOverviewGeometry;

TEST(HistoryChartGeometry, TimeLabelsShowSecondsUpToFifteenMinutesAndTheDateBeyondADay) {
  const Rect plot = Chart::plot(720, 300);
  EXPECT_EQ(plot, (Rect{42, 18, 664, 251}));
  struct Case {
    std::int64_t span;
    const char* first;
    const char* last;
  };
  for (const Case& c : {Case{900, "21:58:21", "22:13:20"}, Case{901, "21:58", "22:13"},
                        Case{86400, "22:13", "22:13"}, Case{86401, "11-13 22:13", "11-14 22:13"}}) {
    HistoryNavigation navigation(t0);
    navigation.chooseSpan(c.span, t0);
    const auto labels = Chart::timeLabels(navigation, plot, HistoryTimeZone::utc());
    EXPECT_EQ(labels[0].text, c.first) << c.span;
    EXPECT_EQ(labels[4].text, c.last) << c.span;
    EXPECT_EQ(labels[2].second, navigation.start() + (c.span - 1) / 2);
  }
  const auto labels = Chart::timeLabels(HistoryNavigation(t0), plot, HistoryTimeZone::utc());
  EXPECT_EQ(std::make_tuple(labels[0].x, labels[0].y, labels[0].anchor),
            std::make_tuple(42.0, 287.0, Chart::Anchor::leading));
  EXPECT_EQ(std::make_tuple(labels[1].x, labels[1].anchor), std::make_tuple(208.0, Chart::Anchor::centre));
  EXPECT_EQ(std::make_tuple(labels[4].x, labels[4].anchor), std::make_tuple(706.0, Chart::Anchor::trailing));
}

TEST(HistoryChartGeometry, TheMarkerNeedsLoadedDataAndAPowerValue) {
  const Rect plot{0, 0, 100, 100};
  HistoryNavigation navigation(t0);
  navigation.select(t0 - 3599);
  HistorySummary summary;
  summary.valid = 1;
  summary.peak = 20;  // a 25 W axis
  EXPECT_EQ(Chart::marker(navigation, plot, false, summary, 5), (Point{0, 80}));
  EXPECT_EQ(Chart::marker(navigation, plot, false, summary, 40), (Point{0, 0})) << "capped at the top";
  EXPECT_FALSE(Chart::marker(navigation, plot, true, summary, 5)) << "loading";
  EXPECT_FALSE(Chart::marker(navigation, plot, false, summary, std::nullopt)) << "no power that second";
  summary.valid = 0;
  EXPECT_FALSE(Chart::marker(navigation, plot, false, summary, 5)) << "nothing recorded in the window";
  navigation.select(t0);
  EXPECT_EQ(Chart::cursorX(navigation, plot), 100);
}

TEST(HistoryOverviewGeometry, TheWindowStaysVisibleAndTheSliderSpansThePossibleCentres) {
  HistoryNavigation navigation(t0);
  navigation.chooseSpan(15, t0);
  const std::int64_t overviewStart = t0 - 604799;
  const Rect window = Overview::window(700, 24, navigation, overviewStart);
  EXPECT_EQ(window.width, 3);
  EXPECT_NEAR(window.x, 700 - 700 * 14.0 / 604799, 1e-9);
  EXPECT_EQ(Overview::dragTarget(350, 700, overviewStart), overviewStart + 302400) << "302399.5 rounds up";
  EXPECT_EQ(Overview::dragTarget(-5, 700, overviewStart), overviewStart);
  EXPECT_EQ(Overview::dragTarget(std::nan(""), 700, overviewStart), overviewStart);
  const auto range = Overview::sliderRange(navigation);
  ASSERT_TRUE(range);
  EXPECT_EQ(std::tie(range->minimum, range->maximum), std::make_tuple(navigation.oldest() + 7, t0 - 7));
  navigation.chooseSpan(604800, t0);
  EXPECT_FALSE(Overview::sliderRange(navigation));
}

class HistoryChartWidget : public ::testing::Test {
 protected:
  ExplorerHarness harness;
  HistoryExplorerModel& model = harness.model;
  HistoryPowerChart chart{model};

  void SetUp() override {
    chart.resize(720, 300);
    chart.show();
    model.setVisible(true);
    harness.answer(HistorySummary{});
  }
};

TEST_F(HistoryChartWidget, HoverSelectsInsideThePlotAndDragSelectsFromAnywhere) {
  const std::int64_t start = model.navigation().start();
  QTest::mouseMove(&chart, QPoint(20, 100));
  EXPECT_TRUE(model.navigation().followsLatest) << "the left margin is not the plot";
  EXPECT_EQ(model.navigation().selected, t0);
  QTest::mouseMove(&chart, QPoint(42 + 332, 100));
  EXPECT_EQ(model.navigation().selected, start + 1800) << "halfway";
  QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(20, 100));
  EXPECT_EQ(model.navigation().selected, start);
  QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(20, 100));
}

TEST_F(HistoryChartWidget, ArrowKeysAndAccessibleActionsStepAndZoom) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&chart);
  ASSERT_NE(accessible->actionInterface(), nullptr);
  EXPECT_EQ(accessible->childCount(), 0);
  EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), "功耗曲线，游标 " + HistoryTime::label(t0));
  EXPECT_EQ(accessible->text(QAccessible::Value), "12.5 W");

  struct Step {
    std::function<void()> act;
    std::int64_t selected;
    std::int64_t span;
  };
  const auto key = [this](Qt::Key k) { return [this, k] { QTest::keyClick(&chart, k); }; };
  const auto action = [accessible](const QString& name) {
    return [accessible, name] { accessible->actionInterface()->doAction(name); };
  };
  for (const Step& step : {Step{key(Qt::Key_Left), t0 - 1, 3600}, Step{action("前一秒"), t0 - 2, 3600},
                           Step{key(Qt::Key_Right), t0 - 1, 3600}, Step{action("后一秒"), t0, 3600},
                           Step{key(Qt::Key_Up), t0, 1800}, Step{action("放大"), t0, 900},
                           Step{key(Qt::Key_Down), t0, 1800}, Step{action("缩小"), t0, 3600}}) {
    step.act();
    EXPECT_EQ(std::make_pair(model.navigation().selected, model.navigation().span),
              std::make_pair(step.selected, step.span));
  }
}

TEST_F(HistoryChartWidget, TheOverviewTradesItsSliderForASpacerAtTheWholeWeek) {
  HistoryOverview overview(model);
  overview.resize(700, overview.sizeHint().height());
  overview.show();
  const int height = overview.sizeHint().height();
  EXPECT_TRUE(overview.slider()->isVisible());
  EXPECT_EQ(overview.slider()->value(), model.navigation().center() - model.navigation().oldest());
  overview.slider()->setValue(overview.slider()->minimum());
  EXPECT_EQ(model.navigation().start(), model.navigation().oldest()) << "the slider moves the window";

  model.chooseSpan(604800);
  EXPECT_FALSE(overview.slider()->isVisible());
  EXPECT_EQ(overview.sizeHint().height(), height);
}

}  // namespace
}  // namespace wattline
