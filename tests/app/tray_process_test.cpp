// The program itself, on Qt's offscreen platform, in its first and last moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <filesystem>
#include <fstream>

#include "platform/fixture_copy.h"

namespace wattline {
namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 15000) {
  QDeadlineTimer deadline(milliseconds);
  while (!condition() && !deadline.hasExpired()) QThread::usleep(100);
  return condition();
}

// A program with a private home, runtime directory and history, reading the fixture laptop.
struct Program {
  explicit Program(const testing::FixtureCopy& home) {
    QProcessEnvironment environment;
    for (const char* name : {"PATH", "LANG"}) environment.insert(name, qEnvironmentVariable(name));
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
      environment.insert(name, QString::fromStdString(home.path()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("WATTLINE_SYSFS_ROOT", WATTLINE_FIXTURES "/sysfs/laptop-battery");
    process.setProcessEnvironment(environment);
    process.start(WATTLINE_BINARY, {"--history-directory", QString::fromStdString(home.path())});
  }
  ~Program() {
    process.kill();
    process.waitForFinished();
  }
  // Whether it ended by itself with status 0 within `milliseconds`.
  bool endsWithStatusZero(int milliseconds) {
    return process.waitForFinished(milliseconds) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
  }
  void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }

  QProcess process;
};

// Whether the program has taken its single-copy lock: the first step of the launch.
bool locked(const testing::FixtureCopy& home) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path()))
    if (entry.path().filename().string().starts_with("local.wattline") && entry.path().extension() == ".lock")
      return true;
  return false;
}

// Signals in the first moments (a logout right after login) end the program as an orderly quit would.
TEST(TrayProcess, ASignalDuringTheLaunchEndsItWithStatusZero) {
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    testing::FixtureCopy home("");
    Program program(home);
    ASSERT_TRUE(waitFor([&] { return locked(home); }));
    program.signal(number);
    EXPECT_TRUE(program.endsWithStatusZero(10000));
  }
}

std::int64_t rows(const std::string& database) {
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  std::int64_t count = 0;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM samples", -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_step(query) == SQLITE_ROW)
    count = sqlite3_column_int64(query, 0);
  sqlite3_finalize(query);
  sqlite3_close(db);
  return count;
}

// A copy that is quitting (its last history write held up by another connection) no longer answers a
// new start, which waits for it to end and then runs.
TEST(TrayProcess, AStartDuringAnotherCopysSlowQuitRunsOnceThatCopyHasEnded) {
  testing::FixtureCopy home("");
  const std::string database = home.path("history.sqlite3");
  Program first(home);
  ASSERT_TRUE(waitFor([&] { return rows(database) > 0; }));
  sqlite3* blocker = nullptr;
  ASSERT_EQ(sqlite3_open_v2(database.c_str(), &blocker, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(blocker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  QThread::msleep(1200);  // the next write now waits for the busy timeout
  first.signal(SIGTERM);
  QThread::msleep(200);
  Program second(home);
  EXPECT_TRUE(first.endsWithStatusZero(5000));
  EXPECT_EQ(sqlite3_exec(blocker, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_close(blocker), SQLITE_OK);
  EXPECT_FALSE(second.process.waitForFinished(1500)) << "the second start ended with the first copy";
  second.signal(SIGTERM);
  EXPECT_TRUE(second.endsWithStatusZero(5000));
}

}  // namespace
}  // namespace wattline
