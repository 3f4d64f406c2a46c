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
#include <fstream>
#include <iostream>
#include <string>

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

int verify(const char* path, const char* acks) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::cerr << "cannot open " << path << ": " << sqlite3_errmsg(db) << "\n";
    sqlite3_close(db);
    return 1;
  }
  int failures = 0;
  sqlite3_stmt* statement = nullptr;
  std::string integrity;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  else
    integrity = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  if (integrity != "ok") {
    std::cerr << "integrity_check: " << integrity << "\n";
    ++failures;
  }

  std::int64_t newest = 0;
  if (sqlite3_prepare_v2(db, "SELECT COALESCE(MAX(second),0) FROM samples", -1, &statement, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    newest = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);

  std::int64_t acknowledged = 0;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM samples WHERE second=?", -1, &statement, nullptr) != SQLITE_OK) {
    std::cerr << "prepare: " << sqlite3_errmsg(db) << "\n";
    sqlite3_close(db);
    return 1;
  }
  std::ifstream lines(acks);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    const std::int64_t second = std::stoll(line);
    if (second <= newest - kHistoryRetention) continue;
    ++acknowledged;
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
  std::cout << acknowledged << "\n";
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) return write(argv[2], std::stoll(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "verify") == 0) return verify(argv[2], argv[3]);
  std::cerr << "usage: history_crash_writer write DB FIRST | verify DB ACKS\n";
  return 64;
}
