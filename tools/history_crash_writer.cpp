// SPDX-License-Identifier: GPL-3.0-or-later
// The writer and the checker of scripts/crashtest-history.
//
//   history_crash_writer write DB FIRST   records FIRST, FIRST+1, ... (one virtual second
//                                         each, as fast as it can) and prints each second
//                                         on standard output once its record call returned
//   history_crash_writer verify DB ACKS   checks PRAGMA integrity_check and that every
//                                         second listed in ACKS is still stored (unless
//                                         retention has expired it)
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace {

using namespace wattline;

int write(const char* path, std::int64_t first) {
  HistoryStore store(path);
  for (std::int64_t second = first;; ++second) {
    HistoryRecord record;
    record.second = second;
    record.observed = static_cast<double>(second) + 0.5;
    record.watts = 12 + 6 * std::sin(static_cast<double>(second) / 30);
    record.battery = -3.5;
    record.flow = "discharging";
    record.source = "sensor";
    record.sensorTime = record.observed - 0.2;
    try {
      store.record(record, static_cast<double>(second - first) + 1000.5,
                   dateFromSeconds(record.observed + 0.1));
    } catch (const std::exception& error) {
      std::cerr << "record " << second << " failed: " << error.what() << "\n";
      return 2;
    }
    // One write(2) per line: a kill never leaves half an acknowledgement.
    const std::string line = std::to_string(second) + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      std::perror("acknowledgement");
      return 2;
    }
  }
}

std::string firstText(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  std::string text;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
    text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  else if (sqlite3_errcode(db) != SQLITE_OK && sqlite3_errcode(db) != SQLITE_DONE)
    text = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return text;
}

int verify(const char* path, const char* acks) {
  std::vector<std::int64_t> acknowledged;
  std::ifstream lines(acks);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty()) acknowledged.push_back(std::stoll(line));

  // Killed before the file or the table was made: fine while nothing was acknowledged.
  if (!std::filesystem::exists(path)) {
    std::cout << 0 << "\n";
    if (acknowledged.empty()) return 0;
    std::cerr << path << " is missing after acknowledged writes\n";
    return 1;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::cerr << "cannot open " << path << ": " << sqlite3_errmsg(db) << "\n";
    sqlite3_close(db);
    return 1;
  }
  int failures = 0;
  const std::string integrity = firstText(db, "PRAGMA integrity_check");
  if (integrity != "ok") {
    std::cerr << "integrity_check: " << integrity << "\n";
    ++failures;
  }
  if (firstText(db, "SELECT name FROM sqlite_master WHERE name='samples'") != "samples") {
    sqlite3_close(db);
    std::cout << 0 << "\n";
    if (acknowledged.empty()) return failures == 0 ? 0 : 1;
    std::cerr << "the samples table is missing after acknowledged writes\n";
    return 1;
  }
  const std::int64_t newest = std::stoll(firstText(db, "SELECT COALESCE(MAX(second),0) FROM samples"));

  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM samples WHERE second=?", -1, &statement, nullptr) != SQLITE_OK) {
    std::cerr << "prepare: " << sqlite3_errmsg(db) << "\n";
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return 1;
  }
  std::int64_t checked = 0;
  for (const std::int64_t second : acknowledged) {
    if (second <= newest - kHistoryRetention) continue;
    ++checked;
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, second);
    const int step = sqlite3_step(statement);
    if (step != SQLITE_ROW) {
      std::cerr << "acknowledged second " << second << " is missing"
                << (step == SQLITE_DONE ? "" : std::string(": ") + sqlite3_errmsg(db)) << "\n";
      if (++failures > 10) break;
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  std::cout << checked << "\n";
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) return write(argv[2], std::stoll(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "verify") == 0) return verify(argv[2], argv[3]);
  std::cerr << "usage: history_crash_writer write DB FIRST | verify DB ACKS\n";
  return 64;
}
