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

using testing::Inspector;
using testing::makeRecord;
using testing::TemporaryDirectory;

constexpr std::int64_t kBase = 1'800'000'000;

// Writes `second` as a caller would; the error text when the store throws.
std::optional<std::string> attempt(HistoryStore& store, std::int64_t second) {
  try {
    store.record(makeRecord(second, 10), 1000 + static_cast<double>(second - kBase),
                 dateFromSeconds(second + 0.6));
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

bool stored(const std::filesystem::path& url, std::int64_t second) {
  return Inspector(url).count("second=" + std::to_string(second)) == 1;
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

TEST(HistoryEnvironment, DirectoryThatCannotBeCreated) {
  TemporaryDirectory directory;
  std::ofstream(directory / "occupied") << "a file where the directory should be";
  const auto url = directory / "occupied" / "Wattline" / "history.sqlite3";
  HistoryStore store(url);
  for (int i = 0; i < 2; ++i) {
    try {
      store.record(makeRecord(kBase, 10), 1000, dateFromSeconds(kBase + 0.6));
      ADD_FAILURE() << "recorded below a regular file";
    } catch (const std::filesystem::filesystem_error& error) {
      EXPECT_EQ(error.code(), std::errc::not_a_directory);
    }
  }
  std::filesystem::remove(directory / "occupied");
  EXPECT_EQ(attempt(store, kBase + 1), std::nullopt);
  EXPECT_TRUE(stored(url, kBase + 1));
}

TEST(HistoryEnvironment, DatabaseThatCannotBeOpened) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  std::filesystem::create_directory(url);
  HistoryStore store(url);
  const std::string expected = "无法打开历史库: " + url.string();
  EXPECT_EQ(attempt(store, kBase), expected);
  EXPECT_EQ(attemptSummary(store), expected);
  std::filesystem::remove(url);
  EXPECT_EQ(attempt(store, kBase + 1), std::nullopt);
  EXPECT_TRUE(stored(url, kBase + 1));
}

TEST(HistoryEnvironment, FileThatIsNotADatabase) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  std::ofstream(url, std::ios::binary) << std::string(4096, '\x5a') << std::string("\x00\x01\xff", 3);
  HistoryStore store(url);
  EXPECT_EQ(attempt(store, kBase), "历史存储失败: file is not a database");
  EXPECT_EQ(attemptSummary(store), "历史存储失败: file is not a database");
  std::filesystem::remove(url);
  EXPECT_EQ(attempt(store, kBase + 1), std::nullopt);
  EXPECT_TRUE(stored(url, kBase + 1));
}

TEST(HistoryEnvironment, ReadOnlyDatabaseFile) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  {
    HistoryStore store(url);
    ASSERT_EQ(attempt(store, kBase), std::nullopt);
  }
  const bool root = geteuid() == 0;
  if (root) {
    if (!setImmutable(url, true)) GTEST_SKIP() << "this file system has no immutable flag";
  } else {
    std::filesystem::permissions(url, std::filesystem::perms::owner_read);
  }
  HistoryStore store(url);
  EXPECT_EQ(attempt(store, kBase + 1), "历史存储失败: attempt to write a readonly database");
  EXPECT_EQ(attemptSummary(store), "历史存储失败: attempt to write a readonly database");
  if (root)
    ASSERT_TRUE(setImmutable(url, false));
  else
    std::filesystem::permissions(url,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(attempt(store, kBase + 2), std::nullopt);
  EXPECT_TRUE(stored(url, kBase) && stored(url, kBase + 2));
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
  EXPECT_TRUE(stored(url, kBase + 2) && stored(url, kBase + 3) && stored(url, kBase + 4));
}

// A small tmpfs, when this process may mount one.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(std::filesystem::path path) : path_(std::move(path)) {
    std::filesystem::create_directory(path_);
    mounted_ =
        mount("wattline-test", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0700") == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool grow() {
    return mount("wattline-test", path_.c_str(), "tmpfs", MS_REMOUNT | MS_NOSUID | MS_NODEV, "size=8m") == 0;
  }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
};

TEST(HistoryEnvironment, DiskThatIsFull) {
  TemporaryDirectory directory;
  SmallFileSystem disk(directory / "disk");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  const auto url = directory / "disk" / "history.sqlite3";
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

  ASSERT_TRUE(disk.grow());
  EXPECT_EQ(attempt(store, second + 1), std::nullopt);
  EXPECT_TRUE(stored(url, second + 1));
  EXPECT_EQ(Inspector(url).text("PRAGMA integrity_check"), "ok");
}

TEST(HistoryEnvironment, DamagedPageEndsQueriesWithAnError) {
  TemporaryDirectory directory;
  const auto url = directory / "history.sqlite3";
  const std::int64_t last = kBase + 5999;
  {
    HistoryStore store(url);
    for (std::int64_t second = kBase; second <= last; ++second)
      ASSERT_EQ(attempt(store, second), std::nullopt);
  }
  // Overwrite one leaf of the table in the middle of the range with garbage.
  const auto page = Inspector(url).number(
      "SELECT pageno FROM dbstat WHERE name='samples' AND pagetype='leaf' ORDER BY pageno LIMIT 1 OFFSET "
      "100");
  ASSERT_TRUE(page);
  {
    std::fstream file(url, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>((*page - 1) * 4096));
    file << std::string(4096, '\xa5');
  }

  HistoryStore store(url);
  const Date now = dateFromSeconds(last + 1.5);
  try {
    store.summary(kBase, last, now);
    ADD_FAILURE() << "a summary over a damaged page";
  } catch (const HistoryFailure& failure) {
    EXPECT_EQ(failure.error().description, "历史查询中断: database disk image is malformed");
  }
  // Somewhere in the range the damaged leaf held.
  bool damagedSeconds = false;
  for (std::int64_t around = kBase + 5; around <= last && !damagedSeconds; around += 11) {
    try {
      store.seconds(around, now);
    } catch (const HistoryFailure& failure) {
      EXPECT_EQ(failure.error().description, "秒级查询中断: database disk image is malformed");
      damagedSeconds = true;
    }
  }
  EXPECT_TRUE(damagedSeconds);
  // The rest of the file still works: the newest hour and new records.
  EXPECT_EQ(store.summary(last - 599, last, now).recorded, 600);
  EXPECT_EQ(attempt(store, last + 1), std::nullopt);
  EXPECT_EQ(store.seconds(last + 1, dateFromSeconds(last + 2)).size(), 6u);
}

}  // namespace
}  // namespace wattline
