// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/history_week.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace wattline::testing {

void check(sqlite3* db, int rc, int expected, const char* what) {
  if (rc != expected) throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void fillWeek(const std::filesystem::path& url) {
  { HistoryStore(url).prune(kWeekEnd); }
  sqlite3* db = nullptr;
  check(db, sqlite3_open_v2(url.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK, "open");
  check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK, "begin");
  sqlite3_stmt* insert = nullptr;
  check(db,
        sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1,
                           &insert, nullptr),
        SQLITE_OK, "prepare");

  std::mt19937_64 random(20261206);
  std::uniform_real_distribution<double> unit(0, 1);
  std::normal_distribution<double> jitter(0, 0.6);
  double load = 8;
  std::optional<double> previousWatts;
  std::string session = randomSessionIdentifier();
  std::int64_t gapLeft = 0;
  for (std::int64_t second = kWeekStart; second <= kWeekEnd; ++second) {
    const std::int64_t hourOfDay = (second / 3600) % 24;
    const bool onBattery = hourOfDay < 7;
    const double busy = (hourOfDay >= 9 && hourOfDay < 18) ? 14 : 5;
    load += (busy - load) * 0.002 + jitter(random) * 0.3;
    load = std::clamp(load, 2.5, 45.0);
    double watts = load + (unit(random) < 0.01 ? unit(random) * 25 : 0) + jitter(random) * 0.2;
    watts = std::max(watts, 0.8);

    if (gapLeft == 0 && unit(random) < 0.0002) gapLeft = 1 + static_cast<std::int64_t>(unit(random) * 120);
    const bool gap = gapLeft > 0;
    if (gap && --gapLeft == 0) session = randomSessionIdentifier();

    const double observed = static_cast<double>(second) + 0.3 + unit(random) * 0.05;
    double energy = 0, duration = 0;
    if (!gap && previousWatts) {
      duration = 1.0;
      energy = (*previousWatts + watts) * 0.5 / 3600;
    }
    sqlite3_bind_int64(insert, 1, second);
    sqlite3_bind_double(insert, 2, observed);
    if (gap) {
      for (int column = 3; column <= 6; ++column) sqlite3_bind_null(insert, column);
    } else {
      sqlite3_bind_double(insert, 3, watts);
      sqlite3_bind_double(insert, 4, watts * 0.35);
      sqlite3_bind_double(insert, 5, watts * 0.08);
      sqlite3_bind_double(insert, 6, 1.2 + unit(random) * 0.3);
    }
    if (onBattery) {
      sqlite3_bind_null(insert, 7);
      sqlite3_bind_double(insert, 8, -watts);
    } else {
      sqlite3_bind_double(insert, 7, watts + 3);
      sqlite3_bind_double(insert, 8, 3);
    }
    sqlite3_bind_int64(insert, 9, onBattery ? 0 : 1);
    sqlite3_bind_text(insert, 10, onBattery ? "discharging" : "charging", -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert, 11, onBattery ? 0 : 1);
    sqlite3_bind_text(insert, 12, "sensor", -1, SQLITE_STATIC);
    if (gap)
      sqlite3_bind_null(insert, 13);
    else
      sqlite3_bind_double(insert, 13, observed - 0.2);
    sqlite3_bind_text(insert, 14, session.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 15, energy);
    sqlite3_bind_double(insert, 16, duration);
    check(db, sqlite3_step(insert), SQLITE_DONE, "insert");
    sqlite3_reset(insert);
    previousWatts = gap ? std::nullopt : std::optional<double>(watts);
  }
  sqlite3_finalize(insert);
  check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK, "commit");
  check(db, sqlite3_close(db), SQLITE_OK, "close");
  // The overview's whole buckets summed, as the store keeps them while it records.
  HistoryStore(url).prune(kWeekEnd);
}

namespace {

const std::vector<std::string> kAppNames = {
    "Firefox", "Visual Studio Code", "Thunderbird", "终端",     "LibreOffice Writer",
    "文件",    "Rhythmbox",          "GIMP",        "Telegram", "Evince"};

}  // namespace

void fillWeekLedger(const std::filesystem::path& url, int apps) {
  std::vector<LedgerMinute> minutes;
  for (std::int64_t minute = (kWeekStart + 59) / 60 * 60; minute + 60 <= kWeekEnd; minute += 60) {
    LedgerMinute row{minute, 60, (minute / 3600) % 24 < 7, {{kUnbilledApp, "", 120, std::nullopt}}};
    for (int k = 0; k < apps; ++k) {
      const std::size_t named = static_cast<std::size_t>(k);
      // Each app's day peaks at its own hour; over whole days it averages its base power.
      const double day = 1 + 0.8 * std::sin(2 * M_PI * (static_cast<double>(minute) / 86400 + k / 7.0));
      row.shares.push_back({"desktop:app" + std::to_string(k),
                            named < kAppNames.size() ? kAppNames[named] : "应用 " + std::to_string(k),
                            1.6 * std::pow(0.8, k) * 60 * day, 0.1 * std::pow(0.8, k) * 60 * day});
    }
    minutes.push_back(std::move(row));
  }
  HistoryStore(url).recordLedger(minutes, dateFromSeconds(kWeekEnd + 0.5));
}

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "wattline-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace wattline::testing
