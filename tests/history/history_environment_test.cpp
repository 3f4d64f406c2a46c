#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
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
    EXPECT_EQ(failure.error().domain, "Wattline.History");
    EXPECT_EQ(failure.error().code, 1);
    return failure.error().description;
  }
}

std::optional<std::string> attemptSummary(HistoryStore& store) {
  try {
    store.summary(kBase - 100, kBase + 100, dateFromSeconds(kBase + 100));
    return std::nullopt;
  } catch (const HistoryFailure& failure) {
    return failure.error().description;
  }
}

// Sets or clears the immutable flag, which even root cannot write through.
bool setImmutable(const std::filesystem::path& path, bool immutable) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

TEST(HistoryEnvironment, PathsThatCannotHoldTheDatabaseFailUntilTheCauseIsGone) {
  TemporaryDirectory directory;
  // A regular file where the directory should be: the file system's error, every time.
  std::ofstream(directory / "occupied") << "x";
  const auto below = directory / "occupied" / "Wattline" / "history.sqlite3";
  HistoryStore nested(below);
  for (int i = 0; i < 2; ++i) {
    try {
      write(nested, makeRecord(kBase, 10));
      ADD_FAILURE() << "recorded below a regular file";
    } catch (const std::filesystem::filesystem_error& error) {
      EXPECT_EQ(error.code(), std::errc::not_a_directory);
    }
  }
  std::filesystem::remove(directory / "occupied");
  EXPECT_EQ(attempt(nested, kBase + 1), std::nullopt);
  EXPECT_TRUE(Inspector(below).has(kBase + 1));

  // A directory at the database's path, then a file of garbage bytes.
  const auto url = directory / "history.sqlite3";
  std::filesystem::create_directory(url);
  HistoryStore store(url);
  EXPECT_EQ(attempt(store, kBase), "无法打开历史库: " + url.string());
  EXPECT_EQ(attemptSummary(store), "无法打开历史库: " + url.string());
  std::filesystem::remove(url);
  std::ofstream(url, std::ios::binary) << std::string(4096, '\x5a') << std::string("\x00\x01\xff", 3);
  HistoryStore garbage(url);
  EXPECT_EQ(attempt(garbage, kBase), "历史存储失败: file is not a database");
  EXPECT_EQ(attemptSummary(garbage), "历史存储失败: file is not a database");
  std::filesystem::remove(url);
  EXPECT_EQ(attempt(garbage, kBase + 1), std::nullopt);
  EXPECT_EQ(attempt(store, kBase + 2), std::nullopt);
  EXPECT_TRUE(Inspector(url).has(kBase + 1) && Inspector(url).has(kBase + 2));
}

TEST(HistoryEnvironment, ReadOnlyDatabaseFile) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  {
    HistoryStore store(url);
    ASSERT_EQ(attempt(store, kBase), std::nullopt);
  }
  const bool root = geteuid() == 0;
  using std::filesystem::perms;
  if (root && !setImmutable(url, true)) GTEST_SKIP() << "this file system has no immutable flag";
  if (!root) std::filesystem::permissions(url, perms::owner_read);
  HistoryStore store(url);
  EXPECT_EQ(attempt(store, kBase + 1), "历史存储失败: attempt to write a readonly database");
  EXPECT_EQ(attemptSummary(store), "历史存储失败: attempt to write a readonly database");
  if (root) {
    ASSERT_TRUE(setImmutable(url, false));
  }
  if (!root) std::filesystem::permissions(url, perms::owner_read | perms::owner_write);
  EXPECT_EQ(attempt(store, kBase + 2), std::nullopt);
  EXPECT_TRUE(Inspector(url).has(kBase) && Inspector(url).has(kBase + 2));
}

TEST(HistoryEnvironment, DatabaseLockedByAnotherConnection) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
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
  HistoryStore fresh(url);  // a new connection cannot even mark the schema version
  EXPECT_EQ(attempt(fresh, kBase + 1), "历史存储失败: database is locked");
  other.execute("ROLLBACK");
  EXPECT_EQ(attempt(store, kBase + 2), std::nullopt);
  EXPECT_EQ(attempt(fresh, kBase + 3), std::nullopt);

  // Released within the busy timeout: the store waits and succeeds.
  lock();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.execute("COMMIT");
  });
  EXPECT_EQ(attempt(store, kBase + 4), std::nullopt);
  release.join();
  EXPECT_EQ(other.count("second BETWEEN " + std::to_string(kBase + 2) + " AND " + std::to_string(kBase + 4)),
            3);
}

TEST(HistoryEnvironment, DiskThatIsFull) {
  TemporaryDirectory directory;
  const auto disk = directory / "disk";
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
  const std::int64_t written = second - 1 - kBase;
  EXPECT_GT(written, 10);
  EXPECT_EQ(attempt(store, second), "历史写入失败: database or disk is full");
  // What was written before stays readable.
  EXPECT_EQ(store.summary(kBase, second, dateFromSeconds(second)).recorded, written);

  ASSERT_EQ(mount("wattline-test", disk.c_str(), "tmpfs", MS_REMOUNT | flags, "size=8m"), 0);
  EXPECT_EQ(attempt(store, second + 1), std::nullopt);
  EXPECT_TRUE(Inspector(url).has(second + 1));
  EXPECT_EQ(Inspector(url).text("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace wattline
