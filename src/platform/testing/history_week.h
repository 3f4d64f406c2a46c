// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>

#include "history/history_store.h"

namespace wattline::testing {

inline constexpr std::int64_t kWeekEnd = 1'800'000'000;
inline constexpr std::int64_t kWeekStart = kWeekEnd - kHistoryRetention + 1;

// Throws with SQLite's message unless `rc` is `expected`.
void check(sqlite3* db, int rc, int expected, const char* what);

// Fills `url` with a full week, one row for each of its 604800 seconds, as a
// notebook writes it: a load that wanders between idle and busy with short
// spikes, nightly stretches on battery, stale-sensor gaps without power (NULL)
// and a new session with broken continuity after each gap. The schema comes from
// the store itself; the rows go in through its insert statement in one transaction, and the store then
// sums the overview's buckets.
void fillWeek(const std::filesystem::path& url);

// Adds a week of ledger minutes for `apps` app groups, all active in every minute, the nightly hours on
// battery as in fillWeek: app k ("desktop:app<k>", k from 0) uses 1.6 W * 0.8^k on average over a day,
// more at its own hours, and 2 W are billed to nobody. Written through the store in one transaction.
void fillWeekLedger(const std::filesystem::path& url, int apps);

// A fresh temporary directory, removed with the object.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace wattline::testing
