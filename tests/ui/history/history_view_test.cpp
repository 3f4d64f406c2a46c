// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "history_ui_support.h"
#include "ui/history/history_exact_time_popover.h"
#include "ui/history/history_texts.h"
#include "ui/history/history_view.h"

namespace wattline {
namespace {

using namespace wattline::testing;

TEST(HistoryTexts, EnergySwitchesUnitsAtTheirThresholds) {
  struct Case {
    double wattHours;
    double seconds;
    const char* energy;
    const char* integrated;
  };
  for (const Case& c :
       {Case{999.9, 59.9, "≈ 999.900 Wh", "59.9 秒"}, Case{1000, 60, "≈ 1.000 kWh", "1.0 分钟"},
        Case{12.5, 3599, "≈ 12.500 Wh", "60.0 分钟"}, Case{12.5, 3600, "≈ 12.500 Wh", "1.0 小时"}}) {
    HistorySummary summary;
    summary.valid = 1;
    summary.wattHours = c.wattHours;
    summary.integratedSeconds = c.seconds;
    const auto metrics = HistoryTexts::metrics(summary, 1, 3600);
    EXPECT_EQ(metrics.energy, c.energy);
    EXPECT_EQ(metrics.energyHelp,
              std::string("有效样本积分 ") + c.integrated + "；不跨缺口。只代表已覆盖部分。");
  }
  HistorySummary summary;
  summary.valid = 302400;
  summary.wattHours = 5000;
  const auto week = HistoryTexts::metrics(summary, 0.5, 604800, icu::Locale("zh_CN"));
  EXPECT_EQ(week.coverage, "50.0%");
  EXPECT_EQ(week.coverageHelp, "302,400 / 604,800 秒有效");
  const auto none = HistoryTexts::metrics(HistorySummary{}, 0, 3600);
  EXPECT_EQ(std::tie(none.average, none.peak, none.energy), std::make_tuple("—", "—", "—"))
      << "absent, not zero";
}

TEST(HistoryTexts, TheTableNeverListsSecondsAfterTheLatest) {
  HistoryNavigation navigation(t0);
  std::vector<HistorySecond> rows(2);
  rows[0].second = t0 - 2;
  rows[0].watts = 20;
  rows[1].second = t0;
  rows[1].watts = 0.5;
  rows[1].estimated = true;
  auto table = HistoryTexts::tableRows(navigation, rows, HistoryTimeZone::utc());
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table.front().time, "22:13:15");
  EXPECT_EQ(table[3].readings[0], "20.0 W");
  EXPECT_EQ(table[4].readings[0], "— W") << "a second without a row";
  EXPECT_EQ(table[5].readings[0], "≈0.500 W");
  EXPECT_TRUE(table[5].selected);
  EXPECT_EQ(std::count_if(table.begin(), table.end(), [](const auto& r) { return r.selected; }), 1);
  navigation.chooseSpan(600, t0);
  navigation.select(t0 - 300);
  EXPECT_EQ(HistoryTexts::tableRows(navigation, rows).size(), 11u);
}

class HistoryViewTest : public ::testing::Test {
 protected:
  ExplorerHarness harness;
  HistoryExplorerModel& model = harness.model;
  HistoryView view{harness.monitor, model, false};

  void SetUp() override {
    view.resize(720, 600);
    view.show();
    model.setVisible(true);
    HistorySummary summary;
    summary.valid = summary.recorded = 3600;
    summary.peak = 20;
    summary.buckets = {{t0 - 3599, 10.0, 20.0, 15.0, 3600, 3600}};
    harness.answer(summary);
    settle();
  }
  void settle() { QCoreApplication::processEvents(); }
  template <class Widget = QLabel>
  Widget* part(const char* name) {
    auto* widget = view.findChild<Widget*>(QString::fromLatin1(name));
    if (!widget) throw std::logic_error(name);
    return widget;
  }
};

TEST_F(HistoryViewTest, ShowsTheSummaryAndTheSelectedSecond) {
  QStringList values;
  for (const char* name : {"averageValue", "peakValue", "coverageValue", "wattsValue"})
    values << part(name)->text();
  EXPECT_EQ(values, (QStringList{"15.0 W", "20.0 W", "100.0%", "12.5 W"}));
  EXPECT_EQ(part("cursorLabel")->text().toStdString(), "游标时间 " + HistoryTime::label(t0));
  EXPECT_FALSE(part<QWidget>("chartNotice")->isVisible() || part<QWidget>("errorBanner")->isVisible());
  EXPECT_EQ(part<QToolButton>("latestButton")->text(), "最新");
  model.pan(-600);
  harness.answer(HistorySummary{});
  settle();
  EXPECT_EQ(part<QToolButton>("latestButton")->text(), "回到最新");
  EXPECT_TRUE(part<QWidget>("chartNotice")->isVisible()) << "nothing recorded in the new window";
}

// The step buttons stop at the ends of the week; an unreadable exact time keeps its popover open.
TEST_F(HistoryViewTest, StepButtonsAndTheExactTimeMoveTheCursor) {
  auto* previous = part<QToolButton>("previousSecond");
  auto* next = part<QToolButton>("nextSecond");
  EXPECT_TRUE(previous->isEnabled() && !next->isEnabled()) << "the cursor is on the newest second";
  QTest::mouseClick(part<QToolButton>("exactButton"), Qt::LeftButton);
  auto* popover = view.findChild<HistoryExactTimePopover*>();
  ASSERT_TRUE(popover->isVisible());
  EXPECT_EQ(popover->field()->text().toStdString(), HistoryTime::label(t0));
  popover->field()->setText("2023-11-14 20:00:60 +0000");
  QTest::keyClick(popover->field(), Qt::Key_Return);
  EXPECT_TRUE(popover->isVisible());
  EXPECT_EQ(popover->error()->text(), "格式不正确，请保留日期、秒和 UTC 偏移。");
  popover->field()->setText("2023-11-14 20:00:00 +0000");
  QTest::keyClick(popover->field(), Qt::Key_Return);
  EXPECT_FALSE(popover->isVisible());
  EXPECT_EQ(model.navigation().selected, t0 - 8000);

  model.seek(model.navigation().oldest());
  settle();
  EXPECT_TRUE(!previous->isEnabled() && next->isEnabled());
  QTest::mouseClick(next, Qt::LeftButton);
  EXPECT_EQ(model.navigation().selected, model.navigation().oldest() + 1);
}

TEST_F(HistoryViewTest, BelowTheCompactHeightTheOverviewMovesBehindAButton) {
  auto* section = part<QWidget>("overviewSection");
  auto* button = part<QToolButton>("overviewButton");
  for (auto [height, compact] : {std::pair{539, true}, {540, false}}) {
    view.resize(720, height);
    EXPECT_EQ(std::make_tuple(view.compact(), section->isVisible(), button->isVisible()),
              std::make_tuple(compact, !compact, compact))
        << height;
  }
}

}  // namespace
}  // namespace wattline
