// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <grp.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "history/history_store.h"
#include "platform/fixture_copy.h"

namespace wattline::testing {

constexpr std::int64_t kBase = 1'800'000'000;

// A record for `second`, observed `offset` seconds into it.
inline HistoryRecord makeRecord(std::int64_t second, std::optional<double> watts, double offset = 0.5) {
  HistoryRecord record;
  record.second = second;
  record.observed = static_cast<double>(second) + offset;
  record.watts = watts;
  record.external = true;
  record.flow = "charging";
  record.source = "sensor";
  record.sensorTime = record.observed - 0.1;
  return record;
}

// Records as a caller would right after the observation, uptime in step with the wall clock.
inline void write(HistoryStore& store, const HistoryRecord& record) {
  store.record(record, record.observed - kBase + 1000, dateFromSeconds(record.observed + 0.1));
}

// The description of the error `work` throws; absent when it returns.
inline std::optional<std::string> failureOf(const std::function<void()>& work) {
  try {
    work();
    return std::nullopt;
  } catch (const HistoryFailure& failure) {
    return failure.error().description;
  } catch (const std::exception& error) {
    return error.what();
  }
}

// The whole content of a file.
inline std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs `work` as a user without the rights of root, who may write any file: when the tests run as root, in
// a child process as nobody, to whom `directory` is handed. What `work` returns comes back.
inline std::string asUnprivilegedUser(const std::filesystem::path& directory,
                                      const std::function<std::string()>& work) {
  if (::geteuid() != 0) return work();
  constexpr uid_t kNobody = 65534;
  int channel[2];
  if (::chown(directory.c_str(), kNobody, kNobody) != 0 || ::pipe(channel) != 0) return "cannot set up";
  const pid_t child = ::fork();
  if (child == 0) {
    // The child never returns into the test program.
    ::close(channel[0]);
    std::string result = "cannot become nobody";
    try {
      if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0) result = work();
    } catch (const std::exception& error) {
      result = std::string("threw: ") + error.what();
    }
    const bool sent =
        ::write(channel[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(channel[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) result.append(buffer, got);
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) return "the child failed: " + result;
  return result;
}

// A second connection to the database, opened at its first use.
class Inspector {
 public:
  explicit Inspector(std::filesystem::path path) : path_(std::move(path)) {}
  ~Inspector() { sqlite3_close(db_); }
  Inspector(const Inspector&) = delete;
  Inspector& operator=(const Inspector&) = delete;

  sqlite3* handle() {
    if (!db_ && sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      throw std::runtime_error("cannot open " + path_.string());
    }
    return db_;
  }
  // The first column of the first row as text; absent for NULL or no row.
  std::optional<std::string> text(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      sqlite3_finalize(statement);
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
    std::optional<std::string> value;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
      value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return value;
  }
  // A column of the row at `second`; a missing row or a NULL is an error.
  double column(std::int64_t second, const std::string& name) {
    return std::stod(text("SELECT " + name + " FROM samples WHERE second=" + std::to_string(second)).value());
  }
  std::int64_t count(const std::string& where = "1") {
    return std::stoll(*text("SELECT COUNT(*) FROM samples WHERE " + where));
  }
  bool has(std::int64_t second) { return count("second=" + std::to_string(second)) == 1; }
  void execute(const std::string& sql) {
    if (sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
  }

 private:
  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
};

}  // namespace wattline::testing
