// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_actor.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
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
  // A directory where the file should be cannot be opened; once it is gone, writing goes on.
  std::filesystem::create_directory(url);
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
  const HistoryError expected{"Wattline.History", 1, "无法打开历史库: " + url.string()};
  EXPECT_EQ(errors, std::vector<std::optional<HistoryError>>(3, expected));
  std::filesystem::remove(url);
  record(2);
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

// Writes `second` as a caller would; the error text when the store throws.
std::optional<std::string> attempt(HistoryStore& store, std::int64_t second) {
  return failureOf([&] { write(store, makeRecord(second, 10)); });
}

TEST(HistoryEnvironment, DatabaseLockedByAnotherConnection) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  HistoryStore store(url);
  ASSERT_EQ(attempt(store, kBase), std::nullopt);
  Inspector other(url);
  auto lock = [&] {
    other.execute(
        "BEGIN EXCLUSIVE; INSERT INTO samples (second, observed, external, flow, estimated, source, session, "
        "energy_wh, duration) VALUES (1, 1, 0, '', 0, '', 'other', 0, 0)");
  };
  // Held past the busy timeout: the store waits for it, then gives up.
  lock();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(attempt(store, kBase + 1), "历史清理失败: database is locked");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
  other.execute("ROLLBACK");
  // Released within the busy timeout: the store waits and succeeds.
  lock();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.execute("COMMIT");
  });
  EXPECT_EQ(attempt(store, kBase + 2), std::nullopt);
  release.join();
  EXPECT_TRUE(other.has(kBase + 2));
}

TEST(HistoryEnvironment, DiskThatIsFull) {
  FixtureCopy directory("");
  const std::filesystem::path disk = directory.path("disk");
  std::filesystem::create_directory(disk);
  const unsigned long flags = MS_NOSUID | MS_NODEV;
  if (mount("wattline-test", disk.c_str(), "tmpfs", flags, "size=256k,mode=0700") != 0)
    GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  struct Unmount {
    std::filesystem::path path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  const auto url = disk / "history.sqlite3";
  HistoryStore store(url);
  std::optional<std::string> error;
  std::int64_t second = kBase;
  for (; second < kBase + 20000 && !error; ++second) error = attempt(store, second);
  ASSERT_EQ(error, "历史写入失败: database or disk is full");
  // What was written before stays readable, and writing goes on once there is room.
  EXPECT_EQ(store.summary(kBase, second, dateFromSeconds(second)).recorded, second - 1 - kBase);
  ASSERT_EQ(mount("wattline-test", disk.c_str(), "tmpfs", MS_REMOUNT | flags, "size=8m"), 0);
  EXPECT_EQ(attempt(store, second + 1), std::nullopt);
  EXPECT_EQ(Inspector(url).text("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace wattline
