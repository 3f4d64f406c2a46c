#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
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
