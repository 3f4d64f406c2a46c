#include "history/history_explorer_model.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/testing/manual_scheduler.h"
#include "platform/testing/scripted_history_service.h"

namespace wattline {
namespace {

using testing::ManualClock;
using testing::ManualScheduler;
using testing::ScriptedHistoryService;
using Field = HistoryExplorerModel::Field;

constexpr std::int64_t t0 = 1'700'000'000;

HistorySummary summaryWith(std::int64_t valid, std::int64_t lower, std::int64_t upper) {
  HistorySummary s;
  s.valid = valid;
  s.recorded = valid;
  s.lower = lower;
  s.upper = upper;
  s.buckets.push_back(HistoryBucket{lower, 1.0, 2.0, 1.5, valid, valid});
  return s;
}

std::vector<HistorySecond> rowsAround(std::int64_t around) {
  std::vector<HistorySecond> rows;
  for (std::int64_t s = around - 5; s <= around + 5; ++s) {
    HistorySecond row;
    row.second = s;
    row.watts = 10.0;
    rows.push_back(row);
  }
  return rows;
}

class HistoryExplorer : public ::testing::Test {
 protected:
  ManualScheduler scheduler;
  ManualClock clock{scheduler, dateFromSeconds(static_cast<double>(t0))};
  ScriptedHistoryService store;
  std::unique_ptr<HistoryExplorerModel> model =
      std::make_unique<HistoryExplorerModel>(scheduler, &store, [this] { return clock.now(); });

  std::int64_t now() const { return unixSecond(clock.now()); }
  std::size_t chartQueries() const {
    std::size_t n = 0;
    for (const auto& q : store.summaryQueries()) n += q.maxBuckets == 600;
    return n;
  }
  std::size_t overviewQueries() const { return store.summaryQueries().size() - chartQueries(); }
  // Index of the last summary query with that bucket count.
  std::size_t last(int maxBuckets) const {
    const auto& queries = store.summaryQueries();
    for (std::size_t i = queries.size(); i-- > 0;)
      if (queries[i].maxBuckets == maxBuckets) return i;
    throw std::logic_error("no such query");
  }
  void answerChart(std::int64_t valid) {
    const auto& q = store.summaryQueries()[last(600)];
    store.answerSummary(last(600), summaryWith(valid, q.from, q.through));
  }
  void answerRows() {
    std::size_t i = store.secondsQueries().size() - 1;
    store.answerSeconds(i, rowsAround(store.secondsQueries()[i].around));
  }
};

TEST_F(HistoryExplorer, ShowingLoadsChartRowsAndOverview) {
  std::vector<Field> published;
  int id = model->subscribe([&](Field f) { published.push_back(f); });
  EXPECT_EQ(model->navigation(), HistoryNavigation(t0));
  EXPECT_EQ(model->overviewEnd(), t0);
  EXPECT_EQ(model->overviewStart(), t0 - 604799);

  model->setVisible(true);
  EXPECT_TRUE(model->loading());
  EXPECT_TRUE(model->locating());
  EXPECT_TRUE(store.summaryQueries().empty()) << "loads start on the main queue, not inside the call";
  scheduler.runUntilIdle();
  ASSERT_EQ(store.summaryQueries().size(), 2u);
  ASSERT_EQ(store.secondsQueries().size(), 1u);
  EXPECT_EQ(store.summaryQueries()[0].from, t0 - 3599);
  EXPECT_EQ(store.summaryQueries()[0].through, t0);
  EXPECT_EQ(store.summaryQueries()[0].now, clock.now());
  EXPECT_EQ(store.summaryQueries()[1].from, t0 - 604799);
  EXPECT_EQ(store.summaryQueries()[1].through, t0);
  EXPECT_EQ(store.summaryQueries()[1].maxBuckets, 280);
  EXPECT_EQ(store.secondsQueries()[0].around, t0);

  answerChart(3600);
  EXPECT_FALSE(model->loading());
  EXPECT_EQ(model->summary().valid, 3600);
  EXPECT_DOUBLE_EQ(model->coverage(), 1.0);
  store.answerSummary(1, summaryWith(1000, t0 - 604799, t0));
  EXPECT_EQ(model->overview().valid, 1000);
  EXPECT_FALSE(model->selectedRow());
  answerRows();
  EXPECT_FALSE(model->locating());
  EXPECT_EQ(model->rows().size(), 11u);
  ASSERT_TRUE(model->selectedRow());
  EXPECT_EQ(model->selectedRow()->second, t0);
  EXPECT_FALSE(model->error());

  EXPECT_NE(std::find(published.begin(), published.end(), Field::summary), published.end());
  EXPECT_NE(std::find(published.begin(), published.end(), Field::overviewEnd), published.end());
  EXPECT_NE(std::find(published.begin(), published.end(), Field::rows), published.end());
  model->unsubscribe(id);
  published.clear();
  model->reload();
  EXPECT_TRUE(published.empty());

  // Coverage is the share of valid seconds, never above one.
  scheduler.runUntilIdle();
  answerChart(1800);
  EXPECT_DOUBLE_EQ(model->coverage(), 0.5);
  model->reload();
  scheduler.runUntilIdle();
  answerChart(5000);
  EXPECT_DOUBLE_EQ(model->coverage(), 1.0);
}

TEST_F(HistoryExplorer, BurstsOfNavigationAreDebounced) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  answerChart(3600);
  const std::size_t before = chartQueries();

  model->zoom(0.5);
  EXPECT_EQ(model->summary(), HistorySummary{}) << "the old chart clears at once";
  EXPECT_TRUE(model->loading());
  scheduler.advance(0.1);
  model->zoom(0.5);
  scheduler.advance(0.139);
  EXPECT_EQ(chartQueries(), before);
  scheduler.advance(0.002);
  ASSERT_EQ(chartQueries(), before + 1) << "two zooms within 140 ms give one query";
  EXPECT_EQ(store.summaryQueries()[last(600)].through - store.summaryQueries()[last(600)].from + 1, 900);
  EXPECT_EQ(store.secondsQueries().size(), 1u) << "the cursor did not move";

  // Held arrow keys: only the last cursor reaches the store, 90 ms after it.
  model->step(-1);
  scheduler.advance(0.05);
  model->step(-1);
  scheduler.advance(0.05);
  model->step(-1);
  EXPECT_EQ(store.secondsQueries().size(), 1u);
  scheduler.advance(0.091);
  ASSERT_EQ(store.secondsQueries().size(), 2u);
  EXPECT_EQ(store.secondsQueries()[1].around, model->navigation().selected);
  EXPECT_EQ(chartQueries(), before + 1) << "stepping inside the window leaves the chart alone";
}

TEST_F(HistoryExplorer, AnswersForAnOldRangeOrCursorAreDropped) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  const std::size_t firstChart = last(600);

  model->pan(-600);
  store.answerSummary(firstChart, summaryWith(3600, t0 - 3599, t0));
  EXPECT_EQ(model->summary(), HistorySummary{});
  EXPECT_TRUE(model->loading()) << "the newer request keeps loading";
  scheduler.advance(0.14);
  const auto& q = store.summaryQueries()[last(600)];
  EXPECT_EQ(q.from, t0 - 4199);
  EXPECT_EQ(q.through, t0 - 600);
  answerChart(100);
  EXPECT_EQ(model->summary().lower, t0 - 4199);
  EXPECT_FALSE(model->loading());

  // Rows: each answer arrives after the cursor moved on.
  ASSERT_EQ(store.secondsQueries().size(), 2u);
  EXPECT_EQ(store.secondsQueries()[1].around, t0 - 600);
  store.answerSeconds(0, rowsAround(t0));
  EXPECT_TRUE(model->rows().empty());
  store.answerSeconds(1, rowsAround(t0 - 600));
  EXPECT_EQ(model->rows().front().second, t0 - 605);
  model->select(t0 - 1000);
  scheduler.advance(0.09);
  model->select(t0 - 2000);
  store.answerSeconds(2, rowsAround(t0 - 1000));
  EXPECT_TRUE(model->locating());
  EXPECT_EQ(model->rows().front().second, t0 - 605)
      << "rows of the earlier cursor stay until the new ones come";
  scheduler.advance(0.09);
  ASSERT_EQ(store.secondsQueries().size(), 4u);
  answerRows();
  EXPECT_FALSE(model->locating());
  ASSERT_TRUE(model->selectedRow());
  EXPECT_EQ(model->selectedRow()->second, t0 - 2000);
}

TEST_F(HistoryExplorer, FailuresShowTheStoreMessage) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  HistoryError failure{"Wattline.History", 1, "历史查询失败: database is locked"};
  store.answerSummary(last(600), failure);
  EXPECT_EQ(model->error(), failure.description);
  EXPECT_FALSE(model->loading());
  store.answerSeconds(0, failure);
  EXPECT_EQ(model->detailError(), failure.description);
  EXPECT_TRUE(model->rows().empty());
  EXPECT_FALSE(model->locating());

  // Each request clears its own error; the overview's failure leaves the chart's loading alone.
  model->pan(-60);
  EXPECT_FALSE(model->error());
  EXPECT_FALSE(model->detailError());
  EXPECT_TRUE(model->loading());
  store.answerSummary(last(280), HistoryError{"Wattline.History", 1, "历史查询失败: disk I/O error"});
  EXPECT_EQ(model->error(), "历史查询失败: disk I/O error");
  EXPECT_TRUE(model->loading());
  model->reload();
  EXPECT_EQ(model->error(), std::nullopt);
}

TEST_F(HistoryExplorer, HidingEndsLoadsAndIgnoresLateAnswers) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  answerChart(3600);
  model->reload();
  scheduler.runUntilIdle();
  model->setVisible(false);
  EXPECT_FALSE(model->loading());
  EXPECT_FALSE(model->locating());
  EXPECT_FALSE(model->active());

  store.answerSummary(last(600), summaryWith(7, t0 - 3599, t0));
  store.answerSummary(last(280), summaryWith(7, t0 - 604799, t0));
  answerRows();
  store.answerSeconds(0, HistoryError{"Wattline.History", 1, "late"});
  EXPECT_EQ(model->summary().valid, 3600) << "what was shown stays for the next showing";
  EXPECT_EQ(model->overview(), HistorySummary{});
  EXPECT_TRUE(model->rows().empty());
  EXPECT_FALSE(model->detailError());
  EXPECT_FALSE(model->loading());

  const std::size_t queries = store.summaryQueries().size();
  scheduler.advance(60);
  EXPECT_EQ(store.summaryQueries().size(), queries) << "no live loop while hidden";
  model->setVisible(false);
  EXPECT_EQ(store.summaryQueries().size(), queries);

  // Hidden before the loads even started: nothing reaches the store.
  model->setVisible(true);
  model->setVisible(false);
  scheduler.runUntilIdle();
  EXPECT_EQ(store.summaryQueries().size(), queries);
}

TEST_F(HistoryExplorer, LiveLoopMovesTheWindowOnlyWhileFollowing) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  EXPECT_EQ(overviewQueries(), 1u);

  scheduler.advance(5);
  EXPECT_EQ(model->navigation().end, t0 + 5);
  EXPECT_EQ(model->navigation().selected, t0 + 5);
  EXPECT_EQ(store.summaryQueries()[last(600)].through, t0 + 5);
  EXPECT_EQ(store.secondsQueries().back().around, t0 + 5);
  answerChart(3600);
  EXPECT_EQ(model->summary().upper, t0 + 5);

  scheduler.advance(25);
  EXPECT_EQ(model->navigation().end, t0 + 30);
  EXPECT_EQ(overviewQueries(), 2u) << "every sixth tick reloads the overview";
  EXPECT_EQ(store.summaryQueries()[last(280)].through, t0 + 30);
  store.answerSummary(last(280), summaryWith(5, t0 - 604769, t0 + 30));
  EXPECT_EQ(model->overviewEnd(), t0 + 30);

  model->pan(-120);
  scheduler.advance(1);
  const std::size_t browsingQueries = store.summaryQueries().size();
  const std::size_t browsingRows = store.secondsQueries().size();
  const HistoryNavigation browsing = model->navigation();
  scheduler.advance(60);
  EXPECT_EQ(store.summaryQueries().size(), browsingQueries);
  EXPECT_EQ(store.secondsQueries().size(), browsingRows);
  EXPECT_EQ(model->navigation(), browsing);

  model->latest();
  EXPECT_EQ(model->navigation(), HistoryNavigation(now()));
  EXPECT_EQ(overviewQueries(), 2u) << "the overview load starts on the main queue";
  scheduler.runUntilIdle();
  EXPECT_EQ(overviewQueries(), 3u);
  const std::int64_t returned = model->navigation().end;
  scheduler.advance(5);
  EXPECT_GT(model->navigation().end, returned) << "the loop moves the window again";
  EXPECT_EQ(store.summaryQueries()[last(600)].through, model->navigation().end);
}

TEST_F(HistoryExplorer, SelectAndLatestRequestOnlyWhatChanged) {
  model->setVisible(true);
  scheduler.runUntilIdle();
  const std::size_t summaries = store.summaryQueries().size();

  // Following at the newest second: latest() reloads only the overview.
  model->latest();
  scheduler.advance(1);
  EXPECT_EQ(store.summaryQueries().size(), summaries + 1);
  EXPECT_EQ(store.summaryQueries().back().maxBuckets, 280);
  EXPECT_EQ(store.secondsQueries().size(), 1u);

  // Selecting the cursor's own second while following switches to browsing and reloads the rows.
  model->setVisible(false);
  model->select(model->navigation().selected);
  EXPECT_FALSE(model->navigation().followsLatest);
  scheduler.advance(0.09);
  EXPECT_EQ(store.secondsQueries().size(), 2u);
  model->select(model->navigation().selected);
  model->select(model->navigation().end + 1000);
  scheduler.advance(0.09);
  EXPECT_EQ(store.secondsQueries().size(), 2u) << "the same second again while browsing does nothing";
  model->select(model->navigation().start() - 50);
  EXPECT_EQ(model->navigation().selected, model->navigation().start());
  scheduler.advance(0.09);
  EXPECT_EQ(store.secondsQueries().size(), 3u);
  EXPECT_EQ(store.summaryQueries().size(), summaries + 1) << "selecting never moves the window";
}

TEST(HistoryExplorerWithoutStore, ShowingReportsThatHistoryIsOff) {
  ManualScheduler scheduler;
  ManualClock clock(scheduler, dateFromSeconds(static_cast<double>(t0)));
  HistoryExplorerModel model(scheduler, nullptr, [&] { return clock.now(); });
  model.setVisible(true);
  scheduler.runUntilIdle();
  EXPECT_EQ(model.error(), "当前未启用历史存储");
  EXPECT_TRUE(model.rows().empty());
  EXPECT_FALSE(model.detailError());
  EXPECT_FALSE(model.loading());
  EXPECT_FALSE(model.locating());
  EXPECT_EQ(model.summary(), HistorySummary{});
}

TEST(HistoryExplorerWithLoaders, StartsAtTheGivenSecondAndSurvivesItsOwnEnd) {
  ManualScheduler scheduler;
  std::int64_t clockSecond = 5000;
  int summaries = 0, seconds = 0;
  std::vector<HistoryExplorerModel::SummaryDone> pending;
  auto model = std::make_unique<HistoryExplorerModel>(
      scheduler, 4000, [&] { return clockSecond; },
      [&](std::int64_t, std::int64_t, int, HistoryExplorerModel::SummaryDone done) {
        ++summaries;
        pending.push_back(std::move(done));
      },
      [&](std::int64_t, HistoryExplorerModel::SecondsDone) { ++seconds; });
  EXPECT_EQ(model->navigation(), HistoryNavigation(4000));
  EXPECT_EQ(model->overviewEnd(), 4000);

  model->setVisible(true);
  EXPECT_EQ(model->navigation().end, 5000);
  scheduler.runUntilIdle();
  EXPECT_EQ(summaries, 2);
  EXPECT_EQ(seconds, 1);

  // Destroyed with a debounced wait, the live loop and answers still out: nothing runs on it later.
  model->pan(-100);
  model.reset();
  for (auto& done : pending) done(HistorySummary{});
  scheduler.advance(30);
  EXPECT_EQ(summaries, 2);
  EXPECT_EQ(seconds, 1);
}

}  // namespace
}  // namespace wattline
