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
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].second = around - 5 + static_cast<std::int64_t>(i);
    rows[i].watts = 10.0;
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

  void show() {
    model->setVisible(true);
    scheduler.runUntilIdle();
  }
  // The chart asks for 600 buckets, the overview for 280.
  std::size_t queries(int maxBuckets) const {
    const auto& all = store.summaryQueries();
    return std::count_if(all.begin(), all.end(), [&](const auto& q) { return q.maxBuckets == maxBuckets; });
  }
  // Index of the last summary query with that bucket count.
  std::size_t last(int maxBuckets) const {
    const auto& all = store.summaryQueries();
    for (std::size_t i = all.size(); i-- > 0;)
      if (all[i].maxBuckets == maxBuckets) return i;
    throw std::logic_error("no such query");
  }
  const ScriptedHistoryService::SummaryQuery& chart() const { return store.summaryQueries()[last(600)]; }
  void answerChart(std::int64_t valid) {
    store.answerSummary(last(600), summaryWith(valid, chart().from, chart().through));
  }
  void answerRows() {
    const std::size_t i = store.secondsQueries().size() - 1;
    store.answerSeconds(i, rowsAround(store.secondsQueries()[i].around));
  }
};

TEST_F(HistoryExplorer, BurstsOfNavigationAreDebounced) {
  show();
  answerChart(3600);
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
  EXPECT_EQ(store.secondsQueries().size(), 1u) << "the cursor did not move";
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

TEST_F(HistoryExplorer, HidingEndsLoadsAndIgnoresLateAnswers) {
  show();
  answerChart(3600);
  model->reload();
  scheduler.runUntilIdle();
  model->setVisible(false);
  EXPECT_FALSE(model->loading() || model->locating() || model->active());

  store.answerSummary(last(600), summaryWith(7, t0 - 3599, t0));
  store.answerSummary(last(280), summaryWith(7, t0 - 604799, t0));
  answerRows();
  store.answerSeconds(0, HistoryError{"Wattline.History", 1, "late"});
  EXPECT_EQ(model->summary().valid, 3600) << "what was shown stays for the next showing";
  EXPECT_EQ(model->overview(), HistorySummary{});
  EXPECT_TRUE(model->rows().empty());
  EXPECT_FALSE(model->detailError() || model->loading());

  const std::size_t count = store.summaryQueries().size();
  scheduler.advance(60);
  EXPECT_EQ(store.summaryQueries().size(), count) << "no live loop while hidden";
  model->setVisible(false);
  // Hidden before the loads even started: nothing reaches the store.
  model->setVisible(true);
  model->setVisible(false);
  scheduler.runUntilIdle();
  EXPECT_EQ(store.summaryQueries().size(), count);
}

TEST_F(HistoryExplorer, LiveLoopMovesTheWindowOnlyWhileFollowing) {
  show();
  EXPECT_EQ(queries(280), 1u);
  scheduler.advance(5);
  EXPECT_EQ(model->navigation().end, t0 + 5);
  EXPECT_EQ(model->navigation().selected, t0 + 5);
  EXPECT_EQ(chart().through, t0 + 5);
  EXPECT_EQ(store.secondsQueries().back().around, t0 + 5);
  answerChart(3600);
  EXPECT_EQ(model->summary().upper, t0 + 5);
  scheduler.advance(25);
  EXPECT_EQ(model->navigation().end, t0 + 30);
  EXPECT_EQ(queries(280), 2u) << "every sixth tick reloads the overview";
  EXPECT_EQ(store.summaryQueries()[last(280)].through, t0 + 30);
  store.answerSummary(last(280), summaryWith(5, t0 - 604769, t0 + 30));
  EXPECT_EQ(model->overviewEnd(), t0 + 30);

  model->pan(-120);
  scheduler.advance(1);
  const std::size_t summaries = store.summaryQueries().size(), rows = store.secondsQueries().size();
  const HistoryNavigation browsing = model->navigation();
  scheduler.advance(60);
  EXPECT_EQ(store.summaryQueries().size(), summaries);
  EXPECT_EQ(store.secondsQueries().size(), rows);
  EXPECT_EQ(model->navigation(), browsing);

  model->latest();
  EXPECT_EQ(model->navigation(), HistoryNavigation(unixSecond(clock.now())));
  EXPECT_EQ(queries(280), 2u) << "the overview load starts on the main queue";
  scheduler.runUntilIdle();
  EXPECT_EQ(queries(280), 3u);
  const std::int64_t returned = model->navigation().end;
  scheduler.advance(5);
  EXPECT_GT(model->navigation().end, returned) << "the loop moves the window again";
  EXPECT_EQ(chart().through, model->navigation().end);
}

TEST(HistoryExplorerWithoutStore, ShowingReportsThatHistoryIsOff) {
  ManualScheduler scheduler;
  HistoryExplorerModel model(scheduler, nullptr, [] { return dateFromSeconds(static_cast<double>(t0)); });
  model.setVisible(true);
  scheduler.runUntilIdle();
  EXPECT_EQ(model.error(), "当前未启用历史存储");
  EXPECT_TRUE(model.rows().empty());
  EXPECT_FALSE(model.detailError() || model.loading() || model.locating());
  EXPECT_EQ(model.summary(), HistorySummary{});
}

}  // namespace
}  // namespace wattline
