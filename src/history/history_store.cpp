#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "history/history_summary.h"

namespace wattline {

namespace {

constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
static_assert(kOpenFlags == 0x10006);
constexpr int kBusyTimeoutMilliseconds = 1500;
constexpr std::int64_t kCleanupInterval = 3600;

// Incremental auto-vacuum only takes hold while the file has no pages yet, and
// switching to WAL writes the first page; so it is asked for once before the
// journal mode as well (on an existing file it changes nothing).
constexpr const char* kVacuumMode = "PRAGMA auto_vacuum=INCREMENTAL;";
constexpr const char* kSetupPragmas =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA auto_vacuum=INCREMENTAL;";
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS samples (\n"
    "  second INTEGER PRIMARY KEY, observed REAL NOT NULL, watts REAL,\n"
    "  cpu REAL, gpu REAL, display REAL, input REAL, battery REAL,\n"
    "  external INTEGER NOT NULL, flow TEXT NOT NULL, estimated INTEGER NOT NULL,\n"
    "  source TEXT NOT NULL, sensor_time REAL, session TEXT NOT NULL,\n"
    "  energy_wh REAL NOT NULL, duration REAL NOT NULL);\n"
    "PRAGMA user_version=1;";
constexpr const char* kHighWaterQuery = "SELECT COALESCE(MAX(second),0) FROM samples";
constexpr const char* kInsert = "INSERT OR IGNORE INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kRetentionDelete = "DELETE FROM samples WHERE second <= ?";
constexpr const char* kFutureDelete = "DELETE FROM samples WHERE second > ?";
constexpr const char* kMaintenance = "PRAGMA incremental_vacuum(32); PRAGMA wal_checkpoint(PASSIVE)";
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

HistoryStore::HistoryStore(std::filesystem::path url)
    : session_(randomSessionIdentifier()), url_(std::move(url)) {}

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

HistoryFailure HistoryStore::failure(std::string_view message) const {
  std::string detail = db_ ? sqlite3_errmsg(db_) : url_.string();
  return HistoryFailure(HistoryError{"Wattline.History", 1, std::string(message) + ": " + detail});
}

void HistoryStore::closeConnection() {
  if (!db_) return;
  // close_v2 always succeeds: a statement still open keeps the connection alive until it is finalised.
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void HistoryStore::open() {
  if (db_) return;
  if (url_.has_parent_path()) std::filesystem::create_directories(url_.parent_path());

  sqlite3* handle = nullptr;
  if (sqlite3_open_v2(url_.c_str(), &handle, kOpenFlags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(handle);
    throw failure(kOpenFailed);
  }
  db_ = handle;

  // The error is made while the connection still holds SQLite's message.
  auto fail = [this](const char* message) {
    HistoryFailure error = failure(message);
    closeConnection();
    throw error;
  };
  if (sqlite3_busy_timeout(db_, kBusyTimeoutMilliseconds) != SQLITE_OK) fail(kStorageFailed);
  if (sqlite3_exec(db_, kVacuumMode, nullptr, nullptr, nullptr) != SQLITE_OK) fail(kStorageFailed);
  if (sqlite3_exec(db_, kSetupPragmas, nullptr, nullptr, nullptr) != SQLITE_OK) fail(kStorageFailed);
  if (sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) fail(kStorageFailed);

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

void HistoryStore::record(const HistoryRecord& record, double uptime, Date now) {
  open();
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);

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
  if (now <= highWater_ - kHistoryRetention) forgetFuture(now);
  highWater_ = std::max(highWater_, now);
  {
    Statement statement = prepare(kRetentionDelete);
    if (!bindInteger(statement.get(), 1, highWater_ - kHistoryRetention) ||
        sqlite3_step(statement.get()) != SQLITE_DONE)
      throw failure(kCleanupFailed);
  }
  if (now >= saturatingAdd(lastCleanup_, kCleanupInterval)) {
    if (sqlite3_exec(db_, kMaintenance, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw failure(kStorageFailed);
    lastCleanup_ = now;
  }
}

void HistoryStore::forgetFuture(std::int64_t now) {
  {
    Statement statement = prepare(kFutureDelete);
    if (!bindInteger(statement.get(), 1, now) || sqlite3_step(statement.get()) != SQLITE_DONE)
      throw failure(kCleanupFailed);
  }
  // Nothing newer than `now` remains; the next row starts afresh, and the
  // maintenance no longer waits for the clock to catch up with the future.
  highWater_ = now;
  previous_.reset();
  lastCleanup_ = 0;
}

HistorySummary HistoryStore::summary(std::int64_t from, std::int64_t through, Date now, int maxBuckets) {
  const std::int64_t nowSecond = unixSecond(now);
  prune(nowSecond);

  const std::int64_t lower = std::max(highWater_ - (kHistoryRetention - 1), from);
  const std::int64_t upper = std::min(through, nowSecond);
  if (upper < lower) return HistorySummary{};

  const std::int64_t buckets = std::max(maxBuckets, 1);
  const std::int64_t count = upper - lower + 1;
  const std::int64_t width = std::max<std::int64_t>((count + buckets - 1) / buckets, 1);

  Statement statement = prepare(kSummaryRows);
  sqlite3_stmt* query = statement.get();
  if (!bindInteger(query, 1, lower) || !bindInteger(query, 2, upper)) throw failure(kSummaryInterrupted);

  HistorySummaryFold fold(lower, upper, width);
  int step;
  while ((step = sqlite3_step(query)) == SQLITE_ROW)
    fold.add(sqlite3_column_int64(query, 0), columnDouble(query, 1), sqlite3_column_double(query, 2),
             sqlite3_column_double(query, 3));
  if (step != SQLITE_DONE) throw failure(kSummaryInterrupted);
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

}  // namespace wattline
