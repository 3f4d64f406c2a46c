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
  FixtureCopy directory("");
  ManualScheduler scheduler;
  const std::thread::id mainThread = std::this_thread::get_id();
  std::vector<std::string> answers;
  auto answer = [&](std::string name) {
    if (std::this_thread::get_id() != mainThread) name += " off the main thread";
    answers.push_back(std::move(name));
  };
  auto recorded = [&](std::optional<HistoryError> error) { answer(error ? error->description : "record"); };
  HistoryActor actor(directory.path("history.sqlite3"), scheduler);
  for (std::int64_t s = 0; s < 4; ++s) {
    if (s == 3) actor.breakContinuity();
    actor.record(makeRecord(kBase + s, 10 + s), 1000 + s, dateFromSeconds(kBase + s + 0.6), recorded);
  }
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
  EXPECT_EQ(answers, (std::vector<std::string>{"record", "record", "record", "record", "summary", "seconds",
                                               "prune"}));
  ASSERT_TRUE(summary->ok() && seconds->ok());
  // Integrated 0→1 and 1→2; the break came before 3.
  EXPECT_EQ(std::make_pair(summary->value().recorded, summary->value().integratedSeconds),
            std::make_pair(std::int64_t{4}, 2.0));
  EXPECT_EQ(seconds->value().size(), 4u);
}

TEST(HistoryActor, DeliversErrorsAndStaysUsable) {
  FixtureCopy directory("");
  ManualScheduler scheduler;
  const std::filesystem::path url = directory.path("history.sqlite3");
  std::ofstream(url) << std::string(5000, 'g');
  HistoryActor actor(url, scheduler);
  std::vector<std::optional<HistoryError>> errors;
  auto record = [&](std::int64_t s) {
    actor.record(makeRecord(kBase + s, 10), 1000 + s, dateFromSeconds(kBase + s + 0.6),
                 [&](std::optional<HistoryError> error) { errors.push_back(error); });
  };
  record(0);
  actor.summary(kBase, kBase, dateFromSeconds(kBase + 1), 600,
                [&](HistoryResult<HistorySummary> result) { errors.push_back(result.error()); });
  actor.seconds(kBase, dateFromSeconds(kBase + 1),
                [&](HistoryResult<std::vector<HistorySecond>> result) { errors.push_back(result.error()); });
  ASSERT_TRUE(runUntil(scheduler, [&] { return errors.size() == 3; }));
  const HistoryError expected{"Wattline.History", 1, "历史存储失败: file is not a database"};
  EXPECT_EQ(errors, std::vector<std::optional<HistoryError>>(3, expected));
  std::filesystem::remove(url);
  record(1);
  ASSERT_TRUE(runUntil(scheduler, [&] { return errors.size() == 4; }));
  EXPECT_EQ(errors.back(), std::nullopt);

  // A directory that cannot be made gives the file system's error.
  std::ofstream(directory.path("file")) << "x";
  HistoryActor below(std::filesystem::path(directory.path("file")) / "Wattline" / "history.sqlite3",
                     scheduler);
  below.prune(kBase, [&](std::optional<HistoryError> error) { errors.push_back(error); });
  ASSERT_TRUE(runUntil(scheduler, [&] { return errors.size() == 5; }));
  ASSERT_TRUE(errors.back());
  EXPECT_EQ(std::make_pair(errors.back()->domain, errors.back()->code),
            std::make_pair(std::string("POSIX"), ENOTDIR));
}

}  // namespace
}  // namespace wattline
