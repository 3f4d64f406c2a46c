// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/power_snapshot.h"

namespace wattline {

// One second of history, built from a snapshot with the age rules of each group.
struct HistoryRecord {
  std::int64_t second = 0;
  double observed = 0;
  std::optional<double> watts;
  std::optional<double> cpu;
  std::optional<double> gpu;
  std::optional<double> display;
  std::optional<double> input;
  std::optional<double> battery;
  bool external = false;
  std::string flow;
  bool estimated = false;
  std::string source;
  std::optional<double> sensorTime;

  explicit HistoryRecord(const PowerSnapshot& snapshot);
  HistoryRecord() = default;
  bool operator==(const HistoryRecord&) const = default;
};

}  // namespace wattline
