#include "history/history_actor.h"

#include <gtest/gtest.h>

#include <fstream>
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

TEST(HistoryActor, DeliversErrorsAndStaysUsable) {
  TemporaryDirectory directory;
  ManualScheduler scheduler;
  const auto url = directory / "history.sqlite3";
  std::ofstream(url) << std::string(5000, 'g');
  HistoryActor actor(url, scheduler);
  std::optional<std::optional<HistoryError>> recordAnswer;
  auto record = [&](std::int64_t s) {
    recordAnswer.reset();
    actor.record(makeRecord(kBase + s, 10), 1000 + s, dateFromSeconds(kBase + s + 0.6),
                 [&](std::optional<HistoryError> error) { recordAnswer = error; });
  };
  record(0);
  std::optional<HistoryResult<HistorySummary>> summary;
  actor.summary(kBase, kBase, dateFromSeconds(kBase + 1), 600,
                [&](HistoryResult<HistorySummary> result) { summary = std::move(result); });
  std::optional<HistoryResult<std::vector<HistorySecond>>> seconds;
  actor.seconds(kBase, dateFromSeconds(kBase + 1),
                [&](HistoryResult<std::vector<HistorySecond>> result) { seconds = std::move(result); });
  ASSERT_TRUE(runUntil(scheduler, [&] { return recordAnswer && summary && seconds; }));
  const HistoryError expected{"Wattline.History", 1, "历史存储失败: file is not a database"};
  EXPECT_EQ(*recordAnswer, expected);
  ASSERT_FALSE(summary->ok());
  EXPECT_EQ(summary->error(), expected);
  ASSERT_FALSE(seconds->ok());
  EXPECT_EQ(seconds->error(), expected);
  std::filesystem::remove(url);
  record(1);
  ASSERT_TRUE(runUntil(scheduler, [&] { return recordAnswer.has_value(); }));
  EXPECT_EQ(*recordAnswer, std::nullopt);

  // A directory that cannot be made gives the file system's error.
  std::ofstream(directory / "file") << "x";
  HistoryActor below(directory / "file" / "Wattline" / "history.sqlite3", scheduler);
  std::optional<std::optional<HistoryError>> pruned;
  below.prune(kBase, [&](std::optional<HistoryError> error) { pruned = error; });
  ASSERT_TRUE(runUntil(scheduler, [&] { return pruned.has_value(); }));
  ASSERT_TRUE(pruned->has_value());
  EXPECT_EQ((*pruned)->domain, "POSIX");
  EXPECT_EQ((*pruned)->code, ENOTDIR);
  EXPECT_NE((*pruned)->description.find("Not a directory"), std::string::npos) << (*pruned)->description;
}

}  // namespace
}  // namespace wattline
