// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_explorer_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/testing/manual_scheduler.h"
#include "platform/testing/scripted_history_service.h"

namespace wattline {
namespace {

using testing::ManualClock;
using testing::ManualScheduler;
using testing::ScriptedHistoryService;

constexpr std::int64_t t0 = 1'700'000'000;
// The overview asks for buckets of a width, not for a number of them.
constexpr int kOverview = 0;
const HistoryError kFailed{"Wattline.History", 1, "历史查询失败: disk I/O error"};

HistorySummary summaryWith(std::int64_t valid, std::int64_t lower, std::int64_t upper) {
  HistorySummary s;
  s.valid = s.recorded = valid;
  s.lower = lower;
  s.upper = upper;
  s.buckets.push_back(HistoryBucket{lower, 1.0, 2.0, 1.5, valid, valid});
  return s;
}

std::vector<HistorySecond> rowsAround(std::int64_t around) {
  std::vector<HistorySecond> rows(11);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].second = around - 5 + static_cast<std::int64_t>(i);
  return rows;
}

class HistoryExplorer : public ::testing::Test {
 protected:
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(static_cast<double>(t0))};
  ScriptedHistoryService store;
  std::unique_ptr<HistoryExplorerModel> model =
      std::make_unique<HistoryExplorerModel>(scheduler, &store, [this] { return clock.now(); });

  void show() {
    model->setVisible(true);
    scheduler.runUntilIdle();
  }
  // The chart asks for 600 buckets; the index of the last such query, or of the overview's.
  std::size_t last(int maxBuckets) const {
    const auto& all = store.summaryQueries();
    for (std::size_t i = all.size(); i-- > 0;)
      if (all[i].maxBuckets == maxBuckets) return i;
    throw std::logic_error("no such query");
  }
  std::size_t queries(int maxBuckets) const {
    const auto& all = store.summaryQueries();
    return std::count_if(all.begin(), all.end(), [&](const auto& q) { return q.maxBuckets == maxBuckets; });
  }
  const ScriptedHistoryService::SummaryQuery& chart() const { return store.summaryQueries()[last(600)]; }
  void answerChart(std::int64_t valid) {
    store.answerSummary(last(600), summaryWith(valid, chart().from, chart().through));
  }
  void answerRows(HistoryResult<std::vector<HistorySecond>> result = std::vector<HistorySecond>{}) {
    const std::size_t i = store.secondsQueries().size() - 1;
    if (result.ok() && result.value().empty()) result = rowsAround(store.secondsQueries()[i].around);
    store.answerSeconds(i, std::move(result));
  }
};

TEST_F(HistoryExplorer, BurstsOfNavigationAreDebouncedAndCoverageIsCapped) {
  show();
  for (const auto& [valid, coverage] : {std::pair{1800, 0.5}, {3600, 1.0}, {7200, 1.0}}) {
    model->reload();
    scheduler.runUntilIdle();
    answerChart(valid);
    EXPECT_EQ(model->coverage(), coverage) << valid;
  }
  const std::size_t before = queries(600);
  model->zoom(0.5);
  EXPECT_EQ(model->summary(), HistorySummary{}) << "the old chart clears at once";
  EXPECT_TRUE(model->loading());
  scheduler.advance(0.1);
  model->zoom(0.5);
  scheduler.advance(0.139);
  EXPECT_EQ(queries(600), before);
  scheduler.advance(0.002);
  ASSERT_EQ(queries(600), before + 1) << "two zooms within 140 ms give one query";
  EXPECT_EQ(chart().through - chart().from + 1, 900);
}

TEST_F(HistoryExplorer, AnswersForAnOldRangeOrCursorAreDropped) {
  show();
  const std::size_t firstChart = last(600);
  model->pan(-600);
  store.answerSummary(firstChart, summaryWith(3600, t0 - 3599, t0));
  EXPECT_EQ(model->summary(), HistorySummary{});
  EXPECT_TRUE(model->loading()) << "the newer request keeps loading";
  scheduler.advance(0.14);
  EXPECT_EQ(std::tie(chart().from, chart().through), std::make_tuple(t0 - 4199, t0 - 600));
  answerChart(100);
  EXPECT_EQ(std::make_tuple(model->summary().lower, model->loading()), std::make_tuple(t0 - 4199, false));

  // Rows: each answer arrives after the cursor moved on.
  ASSERT_EQ(store.secondsQueries().size(), 2u);
  store.answerSeconds(0, rowsAround(t0));
  EXPECT_TRUE(model->rows().empty());
  store.answerSeconds(1, rowsAround(t0 - 600));
  model->select(t0 - 1000);
  scheduler.advance(0.09);
  model->select(t0 - 2000);
  store.answerSeconds(2, rowsAround(t0 - 1000));
  EXPECT_TRUE(model->locating());
  EXPECT_EQ(model->rows().front().second, t0 - 605)
      << "rows of the earlier cursor stay until the new ones come";
  scheduler.advance(0.09);
  answerRows();
  EXPECT_FALSE(model->locating());
  EXPECT_EQ(model->selectedRow().value_or(HistorySecond{}).second, t0 - 2000);
}

TEST_F(HistoryExplorer, SelectingTheSelectedSecondOnlyLeavesFollowingAndAFailedLoadEmptiesTheRows) {
  show();
  answerRows();
  model->select(t0);
  EXPECT_FALSE(model->navigation().followsLatest);
  scheduler.advance(0.09);
  ASSERT_EQ(store.secondsQueries().size(), 2u) << "leaving following reloads the rows";
  answerRows(kFailed);
  EXPECT_EQ(std::make_tuple(model->rows().empty(), model->detailError(), model->locating()),
            std::make_tuple(true, kFailed.description, false));
  model->select(t0 + 1);  // clamped to the selected second while browsing
  scheduler.advance(1);
  EXPECT_EQ(store.secondsQueries().size(), 2u);
}

TEST_F(HistoryExplorer, LatestWhileFollowingReloadsOnlyTheOverviewWhoseFailureLeavesLoadingAlone) {
  show();
  store.answerSummary(last(kOverview), kFailed);
  EXPECT_EQ(std::make_tuple(model->error(), model->loading()), std::make_tuple(kFailed.description, true))
      << "the chart is still loading";
  answerChart(3600);
  const std::size_t charts = queries(600), rows = store.secondsQueries().size();
  model->latest();
  scheduler.advance(1);
  EXPECT_EQ(std::make_tuple(queries(kOverview), queries(600), store.secondsQueries().size(),
                            model->summary().valid),
            std::make_tuple(2u, charts, rows, std::int64_t{3600}));
}

TEST_F(HistoryExplorer, HidingEndsLoadsAndIgnoresLateAnswers) {
  show();
  answerChart(3600);
  model->reload();
  scheduler.runUntilIdle();
  model->setVisible(false);
  EXPECT_FALSE(model->loading() || model->locating() || model->active());
  store.answerSummary(last(600), summaryWith(7, t0 - 3599, t0));
  store.answerSummary(last(kOverview), summaryWith(7, t0 - 604799, t0));
  store.answerSeconds(0, kFailed);
  answerRows();
  EXPECT_EQ(model->summary().valid, 3600) << "what was shown stays for the next showing";
  EXPECT_FALSE(model->detailError() || model->loading() || !model->rows().empty() ||
               model->overview() != HistorySummary{});

  const std::size_t count = store.summaryQueries().size();
  scheduler.advance(60);
  EXPECT_EQ(store.summaryQueries().size(), count) << "no live loop while hidden";
  // Hidden before the loads even started: nothing reaches the store.
  model->setVisible(true);
  model->setVisible(false);
  scheduler.runUntilIdle();
  EXPECT_EQ(store.summaryQueries().size(), count);
}

TEST_F(HistoryExplorer, LiveLoopMovesTheWindowOnlyWhileFollowing) {
  show();
  scheduler.advance(5);
  EXPECT_EQ(std::make_tuple(model->navigation().end, model->navigation().selected, chart().through,
                            store.secondsQueries().back().around),
            std::make_tuple(t0 + 5, t0 + 5, t0 + 5, t0 + 5));
  scheduler.advance(25);
  EXPECT_EQ(queries(kOverview), 2u) << "every sixth tick reloads the overview";

  model->pan(-120);
  scheduler.advance(1);
  const std::size_t summaries = store.summaryQueries().size(), rows = store.secondsQueries().size();
  const HistoryNavigation browsing = model->navigation();
  scheduler.advance(60);
  EXPECT_EQ(std::make_tuple(store.summaryQueries().size(), store.secondsQueries().size()),
            std::make_tuple(summaries, rows));
  EXPECT_EQ(model->navigation(), browsing);

  model->latest();
  EXPECT_EQ(model->navigation(), HistoryNavigation(unixSecond(clock.now())));
  const std::int64_t returned = model->navigation().end;
  scheduler.advance(5);
  EXPECT_GT(model->navigation().end, returned) << "the loop moves the window again";
  EXPECT_EQ(chart().through, model->navigation().end);
}

// A refresh reads again only the bucket that holds the minute before the last second read and keeps
// the older ones; a clock set back reads the whole week again.
TEST_F(HistoryExplorer, TheOverviewReadsAgainOnlyItsLastBucket) {
  show();
  const auto query = [&] {
    const auto& q = store.summaryQueries()[last(kOverview)];
    return std::make_tuple(q.from, q.through, q.width);
  };
  EXPECT_EQ(query(), std::make_tuple(t0 - 604799, t0, std::int64_t{2160}));
  const std::int64_t edge = t0 - t0 % 2160;
  HistorySummary week = summaryWith(100, edge - 2160, t0);
  week.buckets.push_back(HistoryBucket{edge, 1.0, 9.0, 4.0, 81, 81});
  store.answerSummary(last(kOverview), week);
  scheduler.advance(30);
  EXPECT_EQ(query(), std::make_tuple(edge, t0 + 30, std::int64_t{2160}));
  const HistorySummary fresh = summaryWith(111, edge, t0 + 30);
  store.answerSummary(last(kOverview), fresh);
  EXPECT_EQ(model->overview().buckets, (std::vector{week.buckets[0], fresh.buckets[0]}));
  EXPECT_EQ(std::make_tuple(model->overview().valid, model->overview().peak, model->overviewEnd()),
            std::make_tuple(std::int64_t{211}, 2.0, t0 + 30));

  clock.shiftWall(-3600);
  model->reload();
  scheduler.runUntilIdle();
  EXPECT_EQ(query(), std::make_tuple(t0 + 30 - 3600 - 604799, t0 + 30 - 3600, std::int64_t{2160}));
}

// The current second is written a moment after it began: a following cursor sits on the newest second
// recorded in the window and moves on as the store writes; a second without a row still has none.
TEST_F(HistoryExplorer, FollowingSitsOnTheNewestRecordedSecond) {
  const auto rowsUpTo = [](std::int64_t newest) {
    std::vector<HistorySecond> rows = rowsAround(newest);
    rows.resize(6);
    return rows;
  };
  show();
  answerRows(rowsUpTo(t0 - 1));
  EXPECT_EQ(std::make_tuple(model->navigation().selected, model->navigation().followsLatest),
            std::make_tuple(t0 - 1, true));
  EXPECT_TRUE(model->selectedRow());
  model->recorded();
  scheduler.runUntilIdle();
  EXPECT_FALSE(model->locating()) << "the card keeps its reading meanwhile";
  answerRows(rowsUpTo(t0));
  EXPECT_EQ(model->navigation().selected, t0);

  scheduler.advance(5);
  store.answerSeconds(store.secondsQueries().size() - 1, std::vector<HistorySecond>{});
  EXPECT_EQ(model->navigation().selected, t0 + 5);
  EXPECT_FALSE(model->selectedRow());

  model->select(t0);
  scheduler.runUntilIdle();
  const std::size_t reads = store.secondsQueries().size();
  model->recorded();
  scheduler.runUntilIdle();
  EXPECT_EQ(store.secondsQueries().size(), reads) << "a browsing cursor stays";
}

TEST(HistoryExplorerWithoutStore, ShowingReportsThatHistoryIsOff) {
  ManualScheduler scheduler;
  HistoryExplorerModel model(scheduler, nullptr, [] { return dateFromSeconds(static_cast<double>(t0)); });
  model.setVisible(true);
  scheduler.runUntilIdle();
  EXPECT_EQ(model.error(), "当前未启用历史存储");
  EXPECT_FALSE(!model.rows().empty() || model.detailError() || model.loading() || model.locating());
}

}  // namespace
}  // namespace wattline
