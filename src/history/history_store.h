// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "base/date.h"
#include "history/app_energy_types.h"
#include "history/history_record.h"
#include "history/history_schema.h"
#include "history/history_types.h"
#include "platform/clock_synchronisation.h"

struct sqlite3;
struct sqlite3_stmt;

namespace wattline {

// Looks up an environment variable; absent when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

inline constexpr const char* kHistoryCandidateBundleIdentifier = "local.wattline.history-candidate";

// What the store reaches beyond its file; both may be left empty.
struct HistoryStoreOptions {
  // The kernel's word on the clock; without it the clock is taken as one that never synchronises.
  const ClockSynchronisation* clockSync = nullptr;
  // Told once of what the store did by itself: a database moved away or deleted, replaced by a new file.
  std::function<void(const std::string& message)> notice;
  // Only reads: the file is never set up, upgraded, pruned or written.
  bool readOnly = false;
};

// One cell of an exported row: NULL, an integer, a number or a text.
using HistoryCell = std::variant<std::monostate, std::int64_t, double, std::string>;

enum class HistoryExport {
  samples,  // one row per second
  apps,     // one row per minute and app group
};

// The per-second power history in SQLite. Synchronous and single-threaded:
// HistoryActor runs it on its own thread. Every operation opens the database
// when needed and throws HistoryFailure (or, when the parent directory cannot
// be made, std::filesystem::filesystem_error); the store stays usable after a
// failure and the next operation retries what failed.
//
// A file is written only once it has been read, on a connection that writes
// nothing, and found to be ours (or empty); another program's file, or a newer
// version's, is left byte for byte. A file that cannot be written is read, and
// nothing is recorded until it can be written again.
class HistoryStore {
 public:
  explicit HistoryStore(std::filesystem::path url, HistoryStoreOptions options = {});
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // "Wattline/history.sqlite3" under the XDG data home ($XDG_DATA_HOME, else
  // ~/.local/share); absent when neither that variable nor HOME gives an
  // absolute directory.
  static std::optional<std::filesystem::path> defaultURL(std::optional<std::string> bundleIdentifier,
                                                         const EnvironmentLookup& environment);
  // The database inside a directory named on the command line.
  static std::filesystem::path urlInDirectory(const std::filesystem::path& directory);

  void record(const HistoryRecord& record, double uptime, Date now);
  void prune(std::int64_t now);
  void breakContinuity() { previous_.reset(); }
  HistorySummary summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets = 600);
  // The rows of [from, through] in buckets of `width` seconds on whole multiples of `width`.
  HistorySummary buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width);
  std::vector<HistorySecond> seconds(std::int64_t around, Date now);

  // Adds the minutes to the ledger in one transaction; minutes outside the retained week up to `now` are
  // left out. A minute written before (by an earlier run) gains what is added.
  void recordLedger(const std::vector<LedgerMinute>& minutes, Date now);
  // The apps' energy in the minutes that begin from `from` through `through`, on battery alone if asked.
  AppEnergyRanking appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly, Date now);
  // One app's power in each ledger minute of the range, for a range longer than a day in each summed hour
  // inside it; minutes the ledger did not measure are left out.
  std::vector<AppPowerPoint> appPower(const std::string& app, std::int64_t from, std::int64_t through,
                                      Date now);
  // The rows of the range in time order, each handed to `row` as it is read.
  static const std::vector<std::string>& exportColumns(HistoryExport kind);
  void exportRows(HistoryExport kind, std::int64_t from, std::int64_t through,
                  const std::function<void(const std::vector<HistoryCell>&)>& row);

  const std::string& session() const { return session_; }
  const std::filesystem::path& url() const { return url_; }

 private:
  // The retained rows of [from, through] folded; `width` from the range's length when absent.
  HistorySummary fold(std::int64_t from, std::int64_t through, Date now, std::optional<std::int64_t> width,
                      int maxBuckets);
  struct Previous {
    std::int64_t second;
    double observed;
    double uptime;
    double watts;
  };

  struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const;
  };
  // Finalised on every path out of the scope that prepared it.
  using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

  void open();
  // Opens a file that may be written, follows a moved one and prunes; the whole second of `now`.
  std::int64_t openForWriting(Date now);
  void writeLedger(const std::vector<LedgerMinute>& minutes, std::int64_t nowSecond);
  // What the file says about itself, read without writing anything and without making side files.
  HistorySchemaFacts inspect();
  // Opens the connection the operations use; on failure the handle is closed and the error thrown.
  void connect(const std::string& name, int flags);
  void setUp(const HistorySchemaFacts& facts);
  // Whether the file and its side files can be written, giving our own side files back the write
  // permission an older release let SQLite copy from a read-only database; the file that cannot be
  // written goes to `blocked`.
  bool writable(std::string& blocked) const;
  // Records stop while the clock reads a week or more before the history, until it can be trusted.
  void judgeClockFor(std::int64_t now, double uptime);
  // The database was moved away or deleted while open: its log goes into it, and a new file is begun.
  void followMovedFile();
  // The clock once ran more than the retained week ahead of the present: the
  // rows after `now` carry times that have not happened, and measuring
  // retention from them would refuse every record until the clock catches up.
  void forgetFuture(std::int64_t now);
  void closeConnection();
  // Hands each row of a query over the seconds `from` through `through` to `row`.
  void stepRows(const char* sql, std::int64_t from, std::int64_t through,
                const std::function<void(sqlite3_stmt*)>& row);
  // Sums the overview's buckets that ended a minute or more before `now` and are not yet summed.
  void sumBuckets(std::int64_t now);
  // Runs a delete whose one parameter is a second.
  void deleteFrom(const char* sql, std::int64_t second);
  // Whether the file holds the ledger's tables (a read-only file of an earlier version does not).
  bool hasLedger() const { return schemaVersion_ >= 2; }
  bool hasBucketSums() const { return schemaVersion_ >= 3; }
  // The message, ": " and the detail; without a detail, SQLite's message while a connection is held,
  // else the file's path.
  HistoryFailure failure(std::string_view message, std::optional<std::string> detail = std::nullopt) const;
  Statement prepare(const char* sql) const;
  // For the set-up steps of open(): a failure also closes the connection.
  Statement prepareOrClose(const char* sql);

  sqlite3* db_ = nullptr;
  // The connection reads a file that cannot be written.
  bool readOnly_ = false;
  int schemaVersion_ = 0;
  HistoryStoreOptions options_;
  std::optional<double> synchronisedSince_;
  std::optional<double> behindSince_;
  std::string session_;
  std::optional<Previous> previous_;
  std::int64_t highWater_ = 0;
  std::int64_t lastCleanup_ = 0;
  // The newest bucket summed (-1: none), once read from the file.
  std::optional<std::int64_t> lastSummedBucket_;
  // Each app's row id and name as written on this connection.
  std::unordered_map<std::string, std::pair<std::int64_t, std::string>> appIds_;
  std::filesystem::path url_;
};

// A random version-4 UUID in its canonical upper-case text form.
std::string randomSessionIdentifier();

}  // namespace wattline
