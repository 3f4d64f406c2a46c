// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace wattline {

inline constexpr std::int64_t kHistoryRetention = 604800;  // seven days, in seconds
// The week's overview buckets, on whole multiples of this width since the epoch: 280 span the week. The
// store keeps each whole one summed beside its rows.
inline constexpr std::int64_t kHistoryBucketWidth = kHistoryRetention / 280;

// An error with a domain, a code and the text shown to the user.
struct HistoryError {
  std::string domain = "Wattline.History";
  int code = 1;
  std::string description;
  bool operator==(const HistoryError&) const = default;
};

// Thrown by the store's synchronous operations.
class HistoryFailure : public std::runtime_error {
 public:
  explicit HistoryFailure(HistoryError error)
      : std::runtime_error(error.description), error_(std::move(error)) {}
  const HistoryError& error() const { return error_; }

 private:
  HistoryError error_;
};

// A value or the error that took its place.
template <class T>
class HistoryResult {
 public:
  HistoryResult(T value) : storage_(std::move(value)) {}
  HistoryResult(HistoryError error) : storage_(std::move(error)) {}
  bool ok() const { return std::holds_alternative<T>(storage_); }
  const T& value() const { return std::get<T>(storage_); }
  T& value() { return std::get<T>(storage_); }
  const HistoryError& error() const { return std::get<HistoryError>(storage_); }

 private:
  std::variant<T, HistoryError> storage_;
};

struct HistoryBucket {
  std::int64_t second = 0;
  std::optional<double> minimum;
  std::optional<double> maximum;
  std::optional<double> average;
  std::int64_t valid = 0;
  std::int64_t expected = 0;
  bool complete() const { return valid == expected; }
  bool operator==(const HistoryBucket&) const = default;
};

struct HistorySummary {
  std::vector<HistoryBucket> buckets;
  std::int64_t recorded = 0;
  std::int64_t valid = 0;
  double integratedSeconds = 0;
  double wattHours = 0;
  double peak = 0;
  std::int64_t lower = 0;
  std::int64_t upper = 0;
  std::int64_t bucketWidth = 1;
  // Mean of all valid seconds; absent without any.
  std::optional<double> average() const;
  bool operator==(const HistorySummary&) const = default;
};

struct HistorySecond {
  std::int64_t second = 0;
  std::optional<double> watts;
  std::optional<double> cpu;
  std::optional<double> gpu;
  std::optional<double> display;
  bool external = false;
  std::string flow;
  bool estimated = false;
  std::string source;
  std::optional<double> sensorTime;
  bool operator==(const HistorySecond&) const = default;
};

}  // namespace wattline
