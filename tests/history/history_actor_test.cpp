#include "history/history_actor.h"

#include <gtest/gtest.h>

#include <thread>

#include "history_test_support.h"
#include "platform/testing/manual_scheduler.h"

namespace wattline {
namespace {

using namespace testing;

// Runs the main queue until `done` holds, waiting for answers from the store's thread.
template <class Predicate>
bool runUntil(ManualScheduler& scheduler, Predicate done) {
  for (int i = 0; i < 200 && !done(); ++i) scheduler.waitAndRun(std::chrono::milliseconds(50));
  return done();
}

TEST(HistoryActor, RunsOperationsInOrderAndAnswersOnTheMainThread) {
  TemporaryDirectory directory;
  ManualScheduler scheduler;
  const auto url = directory / "history.sqlite3";
  const std::thread::id mainThread = std::this_thread::get_id();
  std::vector<std::string> answers;
  bool offMainThread = false;
  auto answer = [&](std::string name) {
    offMainThread |= std::this_thread::get_id() != mainThread;
    answers.push_back(std::move(name));
  };
  auto recorded = [&](std::optional<HistoryError> error) { answer(error ? error->description : "record"); };
  HistoryActor actor(url, scheduler);
  for (std::int64_t s = 0; s < 3; ++s)
    actor.record(makeRecord(kBase + s, 10 + s), 1000 + s, dateFromSeconds(kBase + s + 0.6), recorded);
  actor.breakContinuity();
  actor.record(makeRecord(kBase + 3, 13), 1003, dateFromSeconds(kBase + 3.6), recorded);
  std::optional<HistoryResult<HistorySummary>> summary;
  actor.summary(kBase, kBase + 10, dateFromSeconds(kBase + 10), 600,
                [&](HistoryResult<HistorySummary> result) {
                  answer("summary");
                  summary = std::move(result);
                });
  std::optional<HistoryResult<std::vector<HistorySecond>>> seconds;
  actor.seconds(kBase + 1, dateFromSeconds(kBase + 10),
                [&](HistoryResult<std::vector<HistorySecond>> result) {
                  answer("seconds");
                  seconds = std::move(result);
                });
  actor.prune(kBase + 10,
              [&](std::optional<HistoryError> error) { answer(error ? error->description : "prune"); });

  ASSERT_TRUE(runUntil(scheduler, [&] { return answers.size() == 7; }));
  EXPECT_FALSE(offMainThread);
  EXPECT_EQ(answers, (std::vector<std::string>{"record", "record", "record", "record", "summary", "seconds",
                                               "prune"}));
  ASSERT_TRUE(summary && summary->ok());
  EXPECT_EQ(summary->value().recorded, 4);
  // Integrated 0→1 and 1→2; the break came before 3.
  EXPECT_DOUBLE_EQ(summary->value().integratedSeconds, 2);
  ASSERT_TRUE(seconds && seconds->ok());
  EXPECT_EQ(seconds->value().size(), 4u);
}

}  // namespace
}  // namespace wattline
