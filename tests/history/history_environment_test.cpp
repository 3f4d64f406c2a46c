#include <gtest/gtest.h>
#include <sys/mount.h>

#include <chrono>
#include <thread>

#include "history/history_store.h"
#include "history_test_support.h"

namespace wattline {
namespace {

using namespace testing;

// Writes `second` as a caller would; the error text when the store throws.
std::optional<std::string> attempt(HistoryStore& store, std::int64_t second) {
  try {
    write(store, makeRecord(second, 10));
    return std::nullopt;
  } catch (const HistoryFailure& failure) {
    return failure.error().description;
  }
}

TEST(HistoryEnvironment, DatabaseThatCannotBeOpenedOrIsLockedByAnotherConnection) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  std::filesystem::create_directory(url);
  HistoryStore store(url);
  EXPECT_EQ(attempt(store, kBase), "无法打开历史库: " + url.string());
  std::filesystem::remove(url);
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
