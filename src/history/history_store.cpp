// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <unordered_map>

#include "history/clock_trust.h"
#include "history/history_summary.h"

namespace wattline {

namespace {

constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
static_assert(kOpenFlags == 0x10006);
constexpr int kBusyTimeoutMilliseconds = 1500;
constexpr std::int64_t kCleanupInterval = 3600;

// Incremental auto-vacuum only takes hold while the file has no pages yet, and
// switching to WAL writes the first page; so a new file asks for it before the
// journal mode as well.
constexpr const char* kVacuumMode = "PRAGMA auto_vacuum=INCREMENTAL;";
constexpr const char* kSetupPragmas =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA auto_vacuum=INCREMENTAL;";
constexpr const char* kSchemaObjects = "SELECT COUNT(*) FROM sqlite_master";
constexpr const char* kSampleColumns = "SELECT name FROM pragma_table_info('samples') ORDER BY cid";
constexpr const char* kHighWaterQuery = "SELECT COALESCE(MAX(second),0) FROM samples";
constexpr const char* kInsert = "INSERT OR IGNORE INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
// The samples, and the ledger's minutes by the second they begin.
constexpr std::array<const char*, 3> kRetentionDeletes = {"DELETE FROM samples WHERE second <= ?",
                                                          "DELETE FROM app_minutes WHERE minute <= ?",
                                                          "DELETE FROM ledger_minutes WHERE minute <= ?"};
constexpr std::array<const char*, 3> kFutureDeletes = {"DELETE FROM samples WHERE second > ?",
                                                       "DELETE FROM app_minutes WHERE minute > ?",
                                                       "DELETE FROM ledger_minutes WHERE minute > ?"};
// The hours and the overview's buckets wholly past the retained week, and the sums that may hold seconds
// after the present; a sum deleted too early is read from its rows.
constexpr std::array<const char*, 3> kSumDeletes = {"DELETE FROM ledger_hours WHERE hour <= ?",
                                                    "DELETE FROM app_hours WHERE hour <= ?",
                                                    "DELETE FROM sample_buckets WHERE bucket <= ?"};
constexpr std::array<const char*, 3> kFutureSumDeletes = {"DELETE FROM ledger_hours WHERE hour > ?",
                                                          "DELETE FROM app_hours WHERE hour > ?",
                                                          "DELETE FROM sample_buckets WHERE bucket > ?"};
// An hour that gains a minute is summed again later.
constexpr std::array<const char*, 2> kHourUnroll = {"DELETE FROM ledger_hours WHERE hour = ?",
                                                    "DELETE FROM app_hours WHERE hour = ?"};
// A bucket that gains a second is read from its rows from then on.
constexpr const char* kBucketUnroll = "DELETE FROM sample_buckets WHERE bucket = ?";
constexpr const char* kLastSummedBucket = "SELECT COALESCE(MAX(bucket), -1) FROM sample_buckets";
// The buckets of width ?3 from ?1 up to ?2, summed from their rows.
constexpr const char* kSumBuckets =
    "INSERT OR REPLACE INTO sample_buckets SELECT second/?3*?3, MIN(watts), MAX(watts), TOTAL(watts), "
    "COUNT(watts), COUNT(*), TOTAL(energy_wh), TOTAL(duration) FROM samples "
    "WHERE second >= ?1 AND second < ?2 GROUP BY 1";
// The summed buckets that begin after ?1 and end by the second ?2 + width - 1.
constexpr const char* kSummedBuckets =
    "SELECT bucket,minimum,maximum,total,valid,rows,energy_wh,duration FROM sample_buckets "
    "WHERE bucket > ? AND bucket <= ? ORDER BY bucket";
// A second's row is written just after the second; a bucket is summed once it ended this long ago.
constexpr std::int64_t kBucketSettle = 60;
constexpr const char* kLastRolledHour = "SELECT COALESCE(MAX(hour), -1) FROM ledger_hours";
// The hours from ?1 up to the one beginning at ?2, summed from their minutes.
constexpr const char* kRollLedgerHours =
    "INSERT INTO ledger_hours SELECT minute/3600*3600, on_battery, SUM(seconds) FROM ledger_minutes "
    "WHERE minute >= ?1 AND minute < ?2 GROUP BY 1, 2";
constexpr const char* kRollAppHours =
    "INSERT INTO app_hours SELECT m.minute/3600*3600, l.on_battery, m.app, SUM(m.joules), SUM(m.cpu_seconds) "
    "FROM app_minutes m JOIN ledger_minutes l ON l.minute=m.minute WHERE m.minute >= ?1 AND m.minute < ?2 "
    "GROUP BY 1, 2, 3";
constexpr const char* kLedgerHourRange =
    "SELECT hour,on_battery,seconds FROM ledger_hours WHERE hour BETWEEN ? AND ?";
constexpr const char* kAppHours =
    "SELECT hour,on_battery,app,joules,cpu_seconds FROM app_hours WHERE hour BETWEEN ? AND ?";
// An app whose last minute is past the retained week is named by no minute any more.
constexpr const char* kGoneApps = "DELETE FROM apps WHERE last_minute <= ?";
constexpr const char* kMaintenance = "PRAGMA incremental_vacuum(32); PRAGMA wal_checkpoint(PASSIVE)";
constexpr const char* kLedgerMinuteUpsert =
    "INSERT INTO ledger_minutes VALUES (?,?,?) ON CONFLICT(minute) DO UPDATE SET "
    "seconds=MIN(60.0,seconds+excluded.seconds), on_battery=MAX(on_battery,excluded.on_battery)";
constexpr const char* kAppUpsert =
    "INSERT INTO apps(key,name) VALUES (?,?) ON CONFLICT(key) DO UPDATE SET name=excluded.name RETURNING id";
constexpr const char* kAppMinuteUpsert =
    "INSERT INTO app_minutes VALUES (?,?,?,?) ON CONFLICT(minute,app) DO UPDATE SET "
    "joules=joules+excluded.joules, cpu_seconds=cpu_seconds+excluded.cpu_seconds";
// The apps a minute names were last seen in it, unless a later minute was written before it.
constexpr const char* kAppsSeen =
    "UPDATE apps SET last_minute=?1 WHERE last_minute<?1 "
    "AND id IN (SELECT app FROM app_minutes WHERE minute=?1)";
constexpr const char* kLedgerRange =
    "SELECT minute,seconds,on_battery FROM ledger_minutes WHERE minute BETWEEN ? AND ? ORDER BY minute";
constexpr const char* kAppMinutes =
    "SELECT minute,app,joules,cpu_seconds FROM app_minutes WHERE minute BETWEEN ? AND ?";
constexpr const char* kApps = "SELECT id,key,name FROM apps";
constexpr const char* kAppPower =
    "SELECT m.minute,m.joules,l.seconds FROM app_minutes m JOIN ledger_minutes l ON l.minute=m.minute "
    "WHERE m.app=(SELECT id FROM apps WHERE key=?) AND m.minute BETWEEN ? AND ? ORDER BY m.minute";
constexpr const char* kAppId = "SELECT id FROM apps WHERE key=?";
constexpr const char* kAppHourPower =
    "SELECT hour,SUM(joules) FROM app_hours WHERE hour BETWEEN ? AND ? AND app=? GROUP BY hour";
constexpr const char* kExportSamples =
    "SELECT second,observed,watts,cpu,gpu,display,input,battery,external,flow,estimated,source,sensor_time,"
    "session,energy_wh,duration FROM samples WHERE second BETWEEN ? AND ? ORDER BY second";
constexpr const char* kExportApps =
    "SELECT m.minute,a.key,a.name,m.joules,m.cpu_seconds,l.seconds,l.on_battery FROM app_minutes m "
    "JOIN apps a ON a.id=m.app JOIN ledger_minutes l ON l.minute=m.minute "
    "WHERE m.minute BETWEEN ? AND ? ORDER BY m.minute, a.key";
// The rows of a summary, in key order: a range of the primary key read without
// any sort, and folded into buckets as they come.
constexpr const char* kSummaryRows =
    "SELECT second,watts,energy_wh,duration FROM samples WHERE second BETWEEN ? AND ? ORDER BY second";
constexpr const char* kSecondsQuery =
    "SELECT second,watts,cpu,gpu,display,external,flow,estimated,source,sensor_time FROM samples "
    "WHERE second BETWEEN ? AND ? ORDER BY second LIMIT 11";

constexpr const char* kOpenFailed = "无法打开历史库";
constexpr const char* kStorageFailed = "历史存储失败";
constexpr const char* kPrepareFailed = "历史查询失败";
constexpr const char* kWriteFailed = "历史写入失败";
constexpr const char* kCleanupFailed = "历史清理失败";
constexpr const char* kSummaryInterrupted = "历史查询中断";
constexpr const char* kSecondsInterrupted = "秒级查询中断";
constexpr const char* kForeignFile = "历史库不是瓦迹的文件，未作改动";
constexpr const char* kNewerFile = "历史库来自更新版本的瓦迹，未作改动";
constexpr const char* kReadOnly = "历史库只读，不记录";
constexpr const char* kClockBehind = "系统时间早于已有记录，暂停记录";
constexpr const char* kLedgerInterrupted = "耗电查询中断";
constexpr const char* kExportInterrupted = "导出中断";
constexpr const char* kMovedAway = "历史库已被移走或删除，已在原处新建";

// Every directory made on the way to the history holds nobody's data but this user's: 0700. Directories that
// already exist are left as they are; a failure is the file system's own error.
void makePrivateDirectories(const std::filesystem::path& directory) {
  if (directory.empty()) return;
  const auto fail = [&](int error) {
    throw std::filesystem::filesystem_error("mkdir", directory,
                                            std::error_code(error, std::generic_category()));
  };
  struct stat status;
  if (::stat(directory.c_str(), &status) == 0) {
    if (!S_ISDIR(status.st_mode)) fail(ENOTDIR);
    return;
  }
  if (directory.has_parent_path() && directory.parent_path() != directory)
    makePrivateDirectories(directory.parent_path());
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) fail(errno);
}

// Binding fails only without memory for a text copy or for an index out of
// range; each returns whether the value is bound.
bool bindInteger(sqlite3_stmt* statement, int index, std::int64_t value) {
  return sqlite3_bind_int64(statement, index, value) == SQLITE_OK;
}

bool bindDouble(sqlite3_stmt* statement, int index, std::optional<double> value) {
  if (value && std::isfinite(*value)) return sqlite3_bind_double(statement, index, *value) == SQLITE_OK;
  return sqlite3_bind_null(statement, index) == SQLITE_OK;
}

// A copy of the text up to its first NUL.
bool bindText(sqlite3_stmt* statement, int index, const std::string& value) {
  return sqlite3_bind_text(statement, index, value.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK;
}

std::optional<double> columnDouble(sqlite3_stmt* statement, int column) {
  if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_double(statement, column);
}

std::string columnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

// a + b, held within the 64-bit range, for caller-supplied seconds.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum;
  if (__builtin_add_overflow(a, b, &sum))
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
  return sum;
}

// The file as an SQLite URI with `query`: every byte but the unreserved ones percent-encoded.
std::string fileUri(const std::filesystem::path& path, const char* query) {
  std::string uri = "file:";
  for (const unsigned char c : path.string()) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    }
  }
  return uri + "?" + query;
}

std::filesystem::path sideFile(const std::filesystem::path& url, const char* suffix) {
  return std::filesystem::path(url.string() + suffix);
}

bool onDisk(const std::filesystem::path& path) {
  struct stat status;
  return ::lstat(path.c_str(), &status) == 0;
}

// A connection that only reads. SQLite makes the log's index beside a WAL database when it is missing,
// with the database's own mode, so a read-only file would get side files nobody can write again; with
// both side files present they are read, otherwise the file is read alone as if on read-only media.
std::string readOnlyName(const std::filesystem::path& url) {
  const bool sideFiles = onDisk(sideFile(url, "-wal")) && onDisk(sideFile(url, "-shm"));
  return fileUri(url, sideFiles ? "mode=ro" : "immutable=1");
}

// The first column of the first row; absent when the statement fails or gives no row.
std::optional<std::int64_t> scalar(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  std::optional<std::int64_t> value;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    value = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return value;
}

std::optional<std::filesystem::path> absoluteDirectory(const std::optional<std::string>& value) {
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path path(*value);
  if (!path.is_absolute()) return std::nullopt;
  return path;
}

}  // namespace

void HistoryStore::StatementFinalizer::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

std::string randomSessionIdentifier() {
  std::random_device device;
  std::mt19937_64 generator((static_cast<std::uint64_t>(device()) << 32) ^ device());
  std::uniform_int_distribution<unsigned> nibble(0, 15);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text += '-';
    unsigned value = nibble(generator);
    if (i == 12) value = 4;                    // version 4: random
    if (i == 16) value = 0x8 | (value & 0x3);  // RFC 4122 variant
    text += kDigits[value];
  }
  return text;
}

HistoryStore::HistoryStore(std::filesystem::path url, HistoryStoreOptions options)
    : options_(std::move(options)), session_(randomSessionIdentifier()), url_(std::move(url)) {}

HistoryStore::~HistoryStore() {
  closeConnection();
}

std::optional<std::filesystem::path> HistoryStore::defaultURL(std::optional<std::string> bundleIdentifier,
                                                              const EnvironmentLookup& environment) {
  std::optional<std::filesystem::path> dataHome = absoluteDirectory(environment("XDG_DATA_HOME"));
  if (!dataHome) {
    std::optional<std::filesystem::path> home = absoluteDirectory(environment("HOME"));
    if (!home) return std::nullopt;
    dataHome = *home / ".local" / "share";
  }
  const bool candidate = bundleIdentifier == kHistoryCandidateBundleIdentifier;
  return *dataHome / (candidate ? "Wattline-History-Candidate" : "Wattline") / "history.sqlite3";
}

std::filesystem::path HistoryStore::urlInDirectory(const std::filesystem::path& directory) {
  return directory / "history.sqlite3";
}

HistoryFailure HistoryStore::failure(std::string_view message, std::optional<std::string> detail) const {
  if (!detail) detail = db_ ? sqlite3_errmsg(db_) : url_.string();
  std::string text(message);
  if (!detail->empty()) text += ": " + *detail;
  return HistoryFailure(HistoryError{"Wattline.History", 1, std::move(text)});
}

void HistoryStore::closeConnection() {
  appIds_.clear();
  lastSummedBucket_.reset();
  if (!db_) return;
  // close_v2 always succeeds: a statement still open keeps the connection alive until it is finalised.
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void HistoryStore::open() {
  if (db_) return;
  makePrivateDirectories(url_.parent_path());

  struct stat status;
  const bool present = ::stat(url_.c_str(), &status) == 0;
  const int statError = errno;
  if (!present && statError != ENOENT)
    throw failure(kOpenFailed, url_.string() + ": " + std::strerror(statError));
  if (present && !S_ISREG(status.st_mode)) throw failure(kOpenFailed);
  const HistorySchemaFacts facts = present && status.st_size > 0 ? inspect() : HistorySchemaFacts{};
  switch (judgeHistorySchema(facts)) {
    case HistorySchemaVerdict::foreign:
      throw failure(kForeignFile, url_.string());
    case HistorySchemaVerdict::newer:
      throw failure(kNewerFile, url_.string());
    case HistorySchemaVerdict::create:
    case HistorySchemaVerdict::upgrade:
      break;
  }

  std::string blocked;
  if (options_.readOnly && !present) throw failure(kOpenFailed, url_.string() + ": " + std::strerror(ENOENT));
  readOnly_ = options_.readOnly || (present && !writable(blocked));
  schemaVersion_ = readOnly_ ? facts.userVersion : historySchemaVersion();
  if (readOnly_) {
    // Nothing to read in a file that was never set up.
    if (facts.userVersion == 0) throw failure(kReadOnly, blocked);
    connect(readOnlyName(url_), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX);
  } else {
    connect(url_.string(), kOpenFlags);
    setUp(facts);
  }

  Statement statement = prepareOrClose(kHighWaterQuery);
  // A read that fails would leave retention measured from the clock alone.
  if (sqlite3_step(statement.get()) != SQLITE_ROW) {
    HistoryFailure error = failure(kPrepareFailed);
    statement.reset();
    closeConnection();
    throw error;
  }
  highWater_ = sqlite3_column_int64(statement.get(), 0);
}

HistorySchemaFacts HistoryStore::inspect() {
  sqlite3* handle = nullptr;
  const int opened = sqlite3_open_v2(readOnlyName(url_).c_str(), &handle,
                                     SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(handle, sqlite3_close_v2);
  if (opened != SQLITE_OK) throw failure(kOpenFailed, url_.string() + ": " + sqlite3_errstr(opened));
  if (sqlite3_busy_timeout(handle, kBusyTimeoutMilliseconds) != SQLITE_OK)
    throw failure(kOpenFailed, sqlite3_errmsg(handle));

  HistorySchemaFacts facts;
  const std::optional<std::int64_t> id = scalar(handle, "PRAGMA application_id");
  const std::optional<std::int64_t> version = scalar(handle, "PRAGMA user_version");
  const std::optional<std::int64_t> objects = scalar(handle, kSchemaObjects);
  if (!id || !version || !objects) {
    // Not an SQLite database at all: another program's file (no id of ours). Anything else is a failure to
    // read.
    if (sqlite3_errcode(handle) == SQLITE_NOTADB) {
      facts.applicationId = -1;
      return facts;
    }
    throw failure(kStorageFailed, sqlite3_errmsg(handle));
  }
  facts.applicationId = static_cast<std::int32_t>(*id);
  facts.userVersion = static_cast<int>(*version);
  facts.schemaObjects = static_cast<int>(*objects);

  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(handle, kSampleColumns, -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    throw failure(kStorageFailed, sqlite3_errmsg(handle));
  }
  const Statement columns(raw);
  int step;
  while ((step = sqlite3_step(raw)) == SQLITE_ROW) facts.sampleColumns.push_back(columnText(raw, 0));
  if (step != SQLITE_DONE) throw failure(kStorageFailed, sqlite3_errmsg(handle));
  return facts;
}

void HistoryStore::connect(const std::string& name, int flags) {
  sqlite3* handle = nullptr;
  if (sqlite3_open_v2(name.c_str(), &handle, flags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(handle);
    throw failure(kOpenFailed);
  }
  db_ = handle;
  if (sqlite3_busy_timeout(db_, kBusyTimeoutMilliseconds) != SQLITE_OK) {
    HistoryFailure error = failure(kStorageFailed);
    closeConnection();
    throw error;
  }
}

void HistoryStore::setUp(const HistorySchemaFacts& facts) {
  // The error is made while the connection still holds SQLite's message.
  auto run = [this](const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return;
    HistoryFailure error = failure(kStorageFailed);
    closeConnection();
    throw error;
  };
  // SQLite opens a file it may not write for reading alone, and would then
  // make its side files with the file's read-only mode.
  if (sqlite3_db_readonly(db_, "main") != 0) {
    closeConnection();
    throw failure(kReadOnly, url_.string());
  }
  if (facts.schemaObjects == 0) run(kVacuumMode);
  run(kSetupPragmas);
  if (facts.applicationId == kHistoryApplicationId && facts.userVersion == historySchemaVersion()) return;

  // The steps up from the version found once the write lock is held (another
  // copy may have set the file up meanwhile), then the version and our mark, in
  // one transaction.
  run("BEGIN IMMEDIATE");
  const std::optional<std::int64_t> version = scalar(db_, "PRAGMA user_version");
  std::string steps;
  for (std::int64_t step = version.value_or(0); step < historySchemaVersion(); ++step)
    steps += kHistoryUpgrades[static_cast<std::size_t>(step)];
  char marks[96];
  std::snprintf(marks, sizeof marks, "PRAGMA user_version=%d; PRAGMA application_id=%d;",
                historySchemaVersion(), kHistoryApplicationId);
  if (!version || *version > historySchemaVersion() ||
      sqlite3_exec(db_, (steps + marks + "COMMIT;").c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    HistoryFailure error =
        version > historySchemaVersion() ? failure(kNewerFile, url_.string()) : failure(kStorageFailed);
    // Closing rolls back what the transaction began.
    closeConnection();
    throw error;
  }
}

bool HistoryStore::writable(std::string& blocked) const {
  for (const std::filesystem::path& path : {sideFile(url_, "-wal"), sideFile(url_, "-shm"), url_}) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) continue;
    if (::access(path.c_str(), W_OK) == 0) continue;
    if (path != url_ && status.st_uid == ::geteuid() &&
        ::chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR) == 0 && ::access(path.c_str(), W_OK) == 0)
      continue;
    blocked = path.string();
    return false;
  }
  return true;
}

HistoryStore::Statement HistoryStore::prepare(const char* sql) const {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    throw failure(kPrepareFailed);
  }
  return Statement(raw);
}

HistoryStore::Statement HistoryStore::prepareOrClose(const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    HistoryFailure error = failure(kPrepareFailed);
    closeConnection();
    throw error;
  }
  return Statement(raw);
}

std::int64_t HistoryStore::openForWriting(Date now) {
  open();
  std::string blocked;
  if (readOnly_ && !options_.readOnly && writable(blocked)) {
    // The file can be written again: recording goes on without a restart.
    closeConnection();
    open();
  }
  if (readOnly_) throw failure(kReadOnly, blocked.empty() ? url_.string() : blocked);
  followMovedFile();
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);
  return nowSecond;
}

void HistoryStore::record(const HistoryRecord& record, double uptime, Date now) {
  const std::int64_t nowSecond = openForWriting(now);
  judgeClockFor(nowSecond, uptime);

  const bool accepted = highWater_ - kHistoryRetention < record.second && record.second <= nowSecond &&
                        nowSecond - kHistoryRetention < record.second;
  if (!accepted) {
    previous_.reset();
    return;
  }

  double energy = 0;
  double duration = 0;
  if (previous_ && record.watts && record.second == previous_->second + 1) {
    const double dObs = record.observed - previous_->observed;
    const double dUp = uptime - previous_->uptime;
    // Integrated only while the wall clock and the monotonic clock agree, so
    // sleeps and clock changes never count as energy.
    if (dObs > 0 && dObs <= 1.75 && dUp > 0 && std::abs(dObs - dUp) < 0.25) {
      energy = (previous_->watts + *record.watts) * 0.5 * dObs / 3600;
      duration = dObs;
    }
  }

  // A bucket summed before gains a second only after the clock went back.
  const std::int64_t bucket = record.second - record.second % kHistoryBucketWidth;
  if (lastSummedBucket_ && bucket <= *lastSummedBucket_) deleteFrom(kBucketUnroll, bucket);

  Statement statement = prepare(kInsert);
  sqlite3_stmt* insert = statement.get();
  const bool bound = bindInteger(insert, 1, record.second) && bindDouble(insert, 2, record.observed) &&
                     bindDouble(insert, 3, record.watts) && bindDouble(insert, 4, record.cpu) &&
                     bindDouble(insert, 5, record.gpu) && bindDouble(insert, 6, record.display) &&
                     bindDouble(insert, 7, record.input) && bindDouble(insert, 8, record.battery) &&
                     bindInteger(insert, 9, record.external ? 1 : 0) && bindText(insert, 10, record.flow) &&
                     bindInteger(insert, 11, record.estimated ? 1 : 0) &&
                     bindText(insert, 12, record.source) && bindDouble(insert, 13, record.sensorTime) &&
                     bindText(insert, 14, session_) && bindDouble(insert, 15, energy) &&
                     bindDouble(insert, 16, duration);
  if (!bound || sqlite3_step(insert) != SQLITE_DONE) {
    previous_.reset();
    throw failure(kWriteFailed);
  }

  if (sqlite3_changes(db_) == 0) {
    // Same second as the row just written: keep integrating from that row.
    // A second written earlier by another process: its basis is unknown.
    if (!(previous_ && previous_->second == record.second)) previous_.reset();
    return;
  }
  highWater_ = std::max(highWater_, record.second);
  if (record.watts)
    previous_ = Previous{record.second, record.observed, uptime, *record.watts};
  else
    previous_.reset();
}

void HistoryStore::prune(std::int64_t now) {
  open();
  highWater_ = std::max(highWater_, now);
  if (readOnly_) return;
  for (const char* sql : kRetentionDeletes) deleteFrom(sql, highWater_ - kHistoryRetention);
  for (const char* sql : kSumDeletes) deleteFrom(sql, highWater_ - kHistoryRetention - 3600);
  sumBuckets(now);
  if (now >= saturatingAdd(lastCleanup_, kCleanupInterval)) {
    // The maintenance removes apps no minute names any more.
    appIds_.clear();
    deleteFrom(kGoneApps, highWater_ - kHistoryRetention);
    if (sqlite3_exec(db_, kMaintenance, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw failure(kStorageFailed);
    lastCleanup_ = now;
  }
}

void HistoryStore::sumBuckets(std::int64_t now) {
  constexpr std::int64_t width = kHistoryBucketWidth;
  if (now < kBucketSettle) return;
  // The first bucket that has not yet ended long enough ago.
  const std::int64_t end = (now - kBucketSettle + 1) / width * width;
  if (!lastSummedBucket_) {
    lastSummedBucket_ = scalar(db_, kLastSummedBucket);
    if (!lastSummedBucket_) throw failure(kWriteFailed);
  }
  const std::int64_t begin = *lastSummedBucket_ < 0 ? 0 : *lastSummedBucket_ + width;
  if (end <= begin) return;
  Statement statement = prepare(kSumBuckets);
  sqlite3_stmt* sum = statement.get();
  if (!bindInteger(sum, 1, begin) || !bindInteger(sum, 2, end) || !bindInteger(sum, 3, width) ||
      sqlite3_step(sum) != SQLITE_DONE)
    throw failure(kWriteFailed);
  lastSummedBucket_ = end - width;
}

void HistoryStore::deleteFrom(const char* sql, std::int64_t second) {
  Statement statement = prepare(sql);
  if (!bindInteger(statement.get(), 1, second) || sqlite3_step(statement.get()) != SQLITE_DONE)
    throw failure(kCleanupFailed);
}

void HistoryStore::judgeClockFor(std::int64_t now, double uptime) {
  if (now <= highWater_ - kHistoryRetention) {
    if (!behindSince_) behindSince_ = uptime;
    const bool synchronised = options_.clockSync && options_.clockSync->synchronised();
    if (!synchronised)
      synchronisedSince_.reset();
    else if (!synchronisedSince_)
      synchronisedSince_ = uptime;
  } else {
    behindSince_.reset();
    synchronisedSince_.reset();
  }
  switch (judgeClock({highWater_, now, uptime, synchronisedSince_, behindSince_})) {
    case ClockVerdict::inStep:
      return;
    case ClockVerdict::hold:
      previous_.reset();
      throw failure(kClockBehind, "");
    case ClockVerdict::forgetAhead:
      forgetFuture(now);
      behindSince_.reset();
      synchronisedSince_.reset();
      return;
  }
}

void HistoryStore::followMovedFile() {
  int moved = 0;
  const int asked = sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved);
  // A file system whose driver cannot tell leaves the file where it is believed to be.
  if (asked == SQLITE_NOTFOUND) return;
  if (asked != SQLITE_OK) throw failure(kStorageFailed);
  if (!moved) return;
  // The log at the old path still belongs to the moved file: it goes into that file, and is emptied, before
  // a new database may start beside it.
  int logFrames = -1, copied = -1;
  if (sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &copied) != SQLITE_OK ||
      logFrames > 0)
    throw failure(kStorageFailed);
  closeConnection();
  previous_.reset();
  if (options_.notice) options_.notice(std::string(kMovedAway) + ": " + url_.string());
  open();
}

void HistoryStore::forgetFuture(std::int64_t now) {
  for (const char* sql : kFutureDeletes) deleteFrom(sql, now);
  for (const char* sql : kFutureSumDeletes) deleteFrom(sql, now - 3600);
  lastSummedBucket_.reset();
  // Nothing newer than `now` remains; the next row starts afresh, and the
  // maintenance no longer waits for the clock to catch up with the future.
  highWater_ = now;
  previous_.reset();
  lastCleanup_ = 0;
}

HistorySummary HistoryStore::summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets) {
  return fold(from, through, now, std::nullopt, maxBuckets);
}

HistorySummary HistoryStore::buckets(std::int64_t from, std::int64_t through, Date now, std::int64_t width) {
  return fold(from, through, now, std::max<std::int64_t>(width, 1), 0);
}

HistorySummary HistoryStore::fold(std::int64_t from, std::int64_t through, Date now,
                                  std::optional<std::int64_t> width, int maxBuckets) {
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);

  const std::int64_t lower = std::max(highWater_ - (kHistoryRetention - 1), from);
  const std::int64_t upper = std::min(through, nowSecond);
  if (upper < lower) return HistorySummary{};

  const std::int64_t buckets = std::max(maxBuckets, 1);
  const std::int64_t count = upper - lower + 1;
  const auto alignment = width ? HistorySummaryFold::Alignment::epoch : HistorySummaryFold::Alignment::lower;
  if (!width) width = std::max<std::int64_t>((count + buckets - 1) / buckets, 1);

  HistorySummaryFold fold(lower, upper, *width, alignment);
  Statement statement = prepare(kSummaryRows);
  sqlite3_stmt* query = statement.get();
  auto foldRows = [&](std::int64_t first, std::int64_t last) {
    if (sqlite3_reset(query) != SQLITE_OK || !bindInteger(query, 1, first) || !bindInteger(query, 2, last))
      throw failure(kSummaryInterrupted);
    int step;
    while ((step = sqlite3_step(query)) == SQLITE_ROW)
      fold.add(sqlite3_column_int64(query, 0), columnDouble(query, 1), sqlite3_column_double(query, 2),
               sqlite3_column_double(query, 3));
    if (step != SQLITE_DONE) throw failure(kSummaryInterrupted);
  };
  // The first second not yet folded. The overview's buckets that were summed whole are read as their sums,
  // the seconds around them row by row.
  std::int64_t next = lower;
  if (alignment == HistorySummaryFold::Alignment::epoch && *width == kHistoryBucketWidth && hasBucketSums()) {
    Statement summed = prepare(kSummedBuckets);
    sqlite3_stmt* bucket = summed.get();
    if (!bindInteger(bucket, 1, lower) || !bindInteger(bucket, 2, upper - kHistoryBucketWidth + 1))
      throw failure(kSummaryInterrupted);
    int step;
    while ((step = sqlite3_step(bucket)) == SQLITE_ROW) {
      const std::int64_t second = sqlite3_column_int64(bucket, 0);
      if (second > next) foldRows(next, second - 1);
      fold.add(HistoryBucketTotals{second, columnDouble(bucket, 1), columnDouble(bucket, 2),
                                   sqlite3_column_double(bucket, 3), sqlite3_column_int64(bucket, 4),
                                   sqlite3_column_int64(bucket, 5), sqlite3_column_double(bucket, 6),
                                   sqlite3_column_double(bucket, 7)});
      next = second + kHistoryBucketWidth;
    }
    if (step != SQLITE_DONE) throw failure(kSummaryInterrupted);
  }
  if (next <= upper) foldRows(next, upper);
  return fold.finish();
}

std::vector<HistorySecond> HistoryStore::seconds(std::int64_t around, Date now) {
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);

  Statement statement = prepare(kSecondsQuery);
  sqlite3_stmt* query = statement.get();
  if (!bindInteger(query, 1, std::max(highWater_ - (kHistoryRetention - 1), saturatingAdd(around, -5))) ||
      !bindInteger(query, 2, std::min(saturatingAdd(around, 5), nowSecond)))
    throw failure(kSecondsInterrupted);

  std::vector<HistorySecond> rows;
  int step;
  while ((step = sqlite3_step(query)) == SQLITE_ROW) {
    HistorySecond row;
    row.second = sqlite3_column_int64(query, 0);
    row.watts = columnDouble(query, 1);
    row.cpu = columnDouble(query, 2);
    row.gpu = columnDouble(query, 3);
    row.display = columnDouble(query, 4);
    row.external = sqlite3_column_int64(query, 5) != 0;
    row.flow = columnText(query, 6);
    row.estimated = sqlite3_column_int64(query, 7) != 0;
    row.source = columnText(query, 8);
    row.sensorTime = columnDouble(query, 9);
    rows.push_back(std::move(row));
  }
  if (step != SQLITE_DONE) throw failure(kSecondsInterrupted);
  return rows;
}

void HistoryStore::recordLedger(const std::vector<LedgerMinute>& minutes, Date now) {
  const std::int64_t nowSecond = openForWriting(now);
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw failure(kWriteFailed);
  std::optional<HistoryFailure> error;
  try {
    writeLedger(minutes, nowSecond);
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return;
    error = failure(kWriteFailed);
  } catch (const HistoryFailure& thrown) {
    error = thrown;
  }
  // A failed COMMIT may have ended the transaction already; the rollback's own outcome changes nothing.
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  appIds_.clear();  // the apps it added are gone with it
  throw *error;
}

void HistoryStore::writeLedger(const std::vector<LedgerMinute>& minutes, std::int64_t nowSecond) {
  Statement minuteInsert = prepare(kLedgerMinuteUpsert);
  Statement appInsert = prepare(kAppUpsert);
  Statement shareInsert = prepare(kAppMinuteUpsert);
  Statement seen = prepare(kAppsSeen);
  auto run = [this](sqlite3_stmt* statement, bool bound) {
    int step = bound ? sqlite3_step(statement) : SQLITE_MISUSE;
    while (step == SQLITE_ROW) step = sqlite3_step(statement);
    if (step != SQLITE_DONE) throw failure(kWriteFailed);
    sqlite3_reset(statement);
  };
  const std::optional<std::int64_t> lastRolled = scalar(db_, kLastRolledHour);
  if (!lastRolled) throw failure(kWriteFailed);
  std::optional<std::int64_t> newestHour;
  for (const LedgerMinute& minute : minutes) {
    if (minute.minute <= highWater_ - kHistoryRetention || minute.minute > nowSecond) continue;
    const std::int64_t hour = minute.minute / 3600 * 3600;
    if (hour <= *lastRolled)
      for (const char* sql : kHourUnroll) deleteFrom(sql, hour);
    newestHour = std::max(newestHour.value_or(hour), hour);
    sqlite3_stmt* row = minuteInsert.get();
    run(row, bindInteger(row, 1, minute.minute) && bindDouble(row, 2, minute.seconds) &&
                 bindInteger(row, 3, minute.onBattery ? 1 : 0));
    for (const AppMinuteShare& share : minute.shares) {
      auto id = appIds_.find(share.app);
      if (id == appIds_.end() || id->second.second != share.name) {
        sqlite3_stmt* app = appInsert.get();
        if (!bindText(app, 1, share.app) || !bindText(app, 2, share.name) || sqlite3_step(app) != SQLITE_ROW)
          throw failure(kWriteFailed);
        id = appIds_.insert_or_assign(share.app, std::pair(sqlite3_column_int64(app, 0), share.name)).first;
        run(app, true);
      }
      sqlite3_stmt* part = shareInsert.get();
      run(part, bindInteger(part, 1, minute.minute) && bindInteger(part, 2, id->second.first) &&
                    bindDouble(part, 3, share.joules) && bindDouble(part, 4, share.cpuSeconds));
    }
    run(seen.get(), bindInteger(seen.get(), 1, minute.minute));
  }
  // The hours after the last one summed and before the newest, once each: a minute is added to an earlier
  // hour only when the clock went back, and that hour is then read by minute.
  if (!newestHour || *newestHour <= *lastRolled + 3600) return;
  for (const char* sql : {kRollLedgerHours, kRollAppHours}) {
    Statement roll = prepare(sql);
    run(roll.get(), bindInteger(roll.get(), 1, std::max<std::int64_t>(*lastRolled + 3600, 0)) &&
                        bindInteger(roll.get(), 2, *newestHour));
  }
}

AppEnergyRanking HistoryStore::appRanking(std::int64_t from, std::int64_t through, bool onBatteryOnly,
                                          Date now) {
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);
  AppEnergyRanking ranking;
  const std::int64_t lower = std::max(highWater_ - (kHistoryRetention - 1), from);
  const std::int64_t upper = std::min(through, nowSecond);
  if (!hasLedger() || upper < lower) return ranking;

  // Whole hours inside the range that are summed are read as sums, every other minute by itself.
  const std::int64_t firstHour = (lower + 3599) / 3600 * 3600;
  const std::int64_t lastHour = (upper + 1) / 3600 * 3600 - 3600;
  std::unordered_map<std::int64_t, AppEnergyTotal> totals;
  auto add = [&totals](std::int64_t app, double joules, std::optional<double> cpu) {
    AppEnergyTotal& total = totals[app];
    total.joules += joules;
    if (cpu) total.cpuSeconds = total.cpuSeconds.value_or(0) + *cpu;
  };
  std::unordered_map<std::int64_t, bool> summed;
  if (firstHour <= lastHour) {
    stepRows(kLedgerHourRange, firstHour, lastHour, [&](sqlite3_stmt* row) {
      summed[sqlite3_column_int64(row, 0)] = true;
      if (!onBatteryOnly || sqlite3_column_int64(row, 1) != 0)
        ranking.seconds += sqlite3_column_double(row, 2);
    });
    stepRows(kAppHours, firstHour, lastHour, [&](sqlite3_stmt* row) {
      if (!onBatteryOnly || sqlite3_column_int64(row, 1) != 0)
        add(sqlite3_column_int64(row, 2), sqlite3_column_double(row, 3), columnDouble(row, 4));
    });
  }
  auto inSummedHour = [&](std::int64_t minute) { return summed.contains(minute / 3600 * 3600); };
  // Whether a summed hour lies between two minutes that are read by minute.
  auto summedBetween = [&](std::int64_t earlier, std::int64_t later) {
    for (std::int64_t hour = earlier / 3600 * 3600 + 3600; hour < later; hour += 3600)
      if (summed.contains(hour)) return true;
    return false;
  };
  // The minutes that count, then the app rows of the spans between the summed hours.
  std::unordered_map<std::int64_t, bool> counted;
  std::vector<std::pair<std::int64_t, std::int64_t>> spans;
  stepRows(kLedgerRange, lower, upper, [&](sqlite3_stmt* row) {
    const std::int64_t minute = sqlite3_column_int64(row, 0);
    if (inSummedHour(minute)) return;
    const bool counts = !onBatteryOnly || sqlite3_column_int64(row, 2) != 0;
    counted.emplace(minute, counts);
    if (counts) ranking.seconds += sqlite3_column_double(row, 1);
    if (!spans.empty() && !summedBetween(spans.back().second, minute))
      spans.back().second = minute;
    else
      spans.emplace_back(minute, minute);
  });
  for (const auto& [first, last] : spans)
    stepRows(kAppMinutes, first, last, [&](sqlite3_stmt* row) {
      const auto minute = counted.find(sqlite3_column_int64(row, 0));
      if (minute != counted.end() && minute->second)
        add(sqlite3_column_int64(row, 1), sqlite3_column_double(row, 2), columnDouble(row, 3));
    });
  {
    Statement statement = prepare(kApps);
    sqlite3_stmt* query = statement.get();
    int step;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
      const auto total = totals.find(sqlite3_column_int64(query, 0));
      if (total == totals.end()) continue;
      total->second.app = columnText(query, 1);
      total->second.name = columnText(query, 2);
      if (total->second.app == kUnbilledApp) {
        ranking.unbilled = total->second;
      } else {
        ranking.billedJoules += total->second.joules;
        ranking.apps.push_back(total->second);
      }
    }
    if (step != SQLITE_DONE) throw failure(kLedgerInterrupted);
  }
  const std::size_t shown = std::min(ranking.apps.size(), kRankedApps);
  std::partial_sort(ranking.apps.begin(), ranking.apps.begin() + static_cast<std::ptrdiff_t>(shown),
                    ranking.apps.end(), [](const AppEnergyTotal& a, const AppEnergyTotal& b) {
                      return a.joules != b.joules ? a.joules > b.joules : a.app < b.app;
                    });
  ranking.apps.resize(shown);
  return ranking;
}

void HistoryStore::stepRows(const char* sql, std::int64_t from, std::int64_t through,
                            const std::function<void(sqlite3_stmt*)>& row) {
  Statement statement = prepare(sql);
  sqlite3_stmt* query = statement.get();
  if (!bindInteger(query, 1, from) || !bindInteger(query, 2, through)) throw failure(kLedgerInterrupted);
  int step;
  while ((step = sqlite3_step(query)) == SQLITE_ROW) row(query);
  if (step != SQLITE_DONE) throw failure(kLedgerInterrupted);
}

std::vector<AppPowerPoint> HistoryStore::appPower(const std::string& app, std::int64_t from,
                                                  std::int64_t through, Date now) {
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);
  std::vector<AppPowerPoint> points;
  const std::int64_t lower = std::max(highWater_ - (kHistoryRetention - 1), from);
  const std::int64_t upper = std::min(through, nowSecond);
  if (!hasLedger() || upper < lower) return points;
  // Over more than a day the chart has fewer points than minutes: whole summed hours stand for their minutes.
  std::map<std::int64_t, double> hours;  // measured seconds of each summed hour
  const std::int64_t firstHour = (lower + 3599) / 3600 * 3600;
  const std::int64_t lastHour = (upper + 1) / 3600 * 3600 - 3600;
  if (upper - lower >= 86400 && firstHour <= lastHour)
    stepRows(kLedgerHourRange, firstHour, lastHour, [&](sqlite3_stmt* row) {
      hours[sqlite3_column_int64(row, 0)] += sqlite3_column_double(row, 2);
    });
  if (!hours.empty()) {
    Statement id = prepare(kAppId);
    if (!bindText(id.get(), 1, app)) throw failure(kLedgerInterrupted);
    const int found = sqlite3_step(id.get());
    if (found != SQLITE_ROW && found != SQLITE_DONE) throw failure(kLedgerInterrupted);
    if (found == SQLITE_DONE) return points;
    Statement statement = prepare(kAppHourPower);
    sqlite3_stmt* query = statement.get();
    if (!bindInteger(query, 1, firstHour) || !bindInteger(query, 2, lastHour) ||
        !bindInteger(query, 3, sqlite3_column_int64(id.get(), 0)))
      throw failure(kLedgerInterrupted);
    int step;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
      const auto hour = hours.find(sqlite3_column_int64(query, 0));
      if (hour != hours.end() && hour->second > 0)
        points.push_back({hour->first, sqlite3_column_double(query, 1) / hour->second, 3600});
    }
    if (step != SQLITE_DONE) throw failure(kLedgerInterrupted);
  }
  // The minutes between the summed hours.
  std::int64_t next = lower;
  auto minutesThrough = [&](std::int64_t last) {
    if (last < next) return;
    Statement statement = prepare(kAppPower);
    sqlite3_stmt* query = statement.get();
    if (!bindText(query, 1, app) || !bindInteger(query, 2, next) || !bindInteger(query, 3, last))
      throw failure(kLedgerInterrupted);
    int step;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
      const double seconds = sqlite3_column_double(query, 2);
      // A minute without measured seconds has no power, not zero.
      if (seconds > 0)
        points.push_back({sqlite3_column_int64(query, 0), sqlite3_column_double(query, 1) / seconds});
    }
    if (step != SQLITE_DONE) throw failure(kLedgerInterrupted);
  };
  for (const auto& [hour, seconds] : hours) {
    minutesThrough(hour - 1);
    next = hour + 3600;
  }
  minutesThrough(upper);
  std::sort(points.begin(), points.end(),
            [](const AppPowerPoint& a, const AppPowerPoint& b) { return a.minute < b.minute; });
  return points;
}

const std::vector<std::string>& HistoryStore::exportColumns(HistoryExport kind) {
  static const std::vector<std::string> apps = {"minute",      "app",     "name",      "joules",
                                                "cpu_seconds", "seconds", "on_battery"};
  return kind == HistoryExport::samples ? kHistorySampleColumns : apps;
}

void HistoryStore::exportRows(HistoryExport kind, std::int64_t from, std::int64_t through,
                              const std::function<void(const std::vector<HistoryCell>&)>& row) {
  open();
  if (kind == HistoryExport::apps && !hasLedger()) return;
  Statement statement = prepare(kind == HistoryExport::samples ? kExportSamples : kExportApps);
  sqlite3_stmt* query = statement.get();
  if (!bindInteger(query, 1, from) || !bindInteger(query, 2, through)) throw failure(kExportInterrupted);
  const int columns = sqlite3_column_count(query);
  std::vector<HistoryCell> cells(static_cast<std::size_t>(columns));
  int step;
  while ((step = sqlite3_step(query)) == SQLITE_ROW) {
    for (int column = 0; column < columns; ++column) {
      HistoryCell& cell = cells[static_cast<std::size_t>(column)];
      switch (sqlite3_column_type(query, column)) {
        case SQLITE_INTEGER:
          cell = static_cast<std::int64_t>(sqlite3_column_int64(query, column));
          break;
        case SQLITE_FLOAT:
          cell = sqlite3_column_double(query, column);
          break;
        case SQLITE_NULL:
          cell = std::monostate{};
          break;
        default:
          cell = columnText(query, column);
      }
    }
    row(cells);
  }
  if (step != SQLITE_DONE) throw failure(kExportInterrupted);
}

}  // namespace wattline
