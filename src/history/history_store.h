#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "history/history_record.h"
#include "history/history_types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace wattline {

// Looks up an environment variable; absent when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

inline constexpr const char* kHistoryCandidateBundleIdentifier = "local.wattline.history-candidate";

// The per-second power history in SQLite. Synchronous and single-threaded:
// HistoryActor runs it on its own thread. Every operation opens the database
// when needed and throws HistoryFailure (or, when the parent directory cannot
// be made, std::filesystem::filesystem_error); the store stays usable after a
// failure and the next operation retries what failed.
class HistoryStore {
 public:
  explicit HistoryStore(std::filesystem::path url);
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
  std::vector<HistorySecond> seconds(std::int64_t around, Date now);

  const std::string& session() const { return session_; }
  const std::filesystem::path& url() const { return url_; }

 private:
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
  // The clock once ran more than the retained week ahead of the present: the
  // rows after `now` carry times that have not happened, and measuring
  // retention from them would refuse every record until the clock catches up.
  void forgetFuture(std::int64_t now);
  void closeConnection();
  HistoryFailure failure(std::string_view message) const;
  Statement prepare(const char* sql) const;
  // For the set-up steps of open(): a failure also closes the connection.
  Statement prepareOrClose(const char* sql);

  sqlite3* db_ = nullptr;
  std::string session_;
  std::optional<Previous> previous_;
  std::int64_t highWater_ = 0;
  std::int64_t lastCleanup_ = 0;
  std::filesystem::path url_;
};

// A random version-4 UUID in its canonical upper-case text form.
std::string randomSessionIdentifier();

}  // namespace wattline
