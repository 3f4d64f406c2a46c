// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "history/app_energy_types.h"
#include "history/history_store.h"

namespace wattline {

// The name the unbilled energy goes by.
inline constexpr const char* kUnbilledName = "未归属（空闲与内核）";

// "90m", "24h", "7d" or "45s": a positive whole number and its unit, in seconds; nothing for anything else.
std::optional<std::int64_t> parseDuration(std::string_view text);

enum class ExportFormat { csv, json };
std::optional<ExportFormat> parseExportFormat(std::string_view text);

// Streams exported rows: a header row (CSV) or an array of objects (JSON). Times go out in ISO 8601 UTC, a
// NULL as an empty cell (CSV) or null (JSON).
class HistoryExportWriter {
 public:
  HistoryExportWriter(std::ostream& out, ExportFormat format, std::vector<std::string> columns);
  void row(const std::vector<HistoryCell>& cells);
  // Ends the output; the JSON array is closed.
  void finish();

 private:
  std::ostream& out_;
  ExportFormat format_;
  std::vector<std::string> columns_;
  std::vector<bool> times_;
  bool first_ = true;
};

// The ranking of the minutes from `from` through `through` as the command line prints it.
nlohmann::json appEnergyJson(const AppEnergyRanking& ranking, std::int64_t from, std::int64_t through,
                             bool onBatteryOnly);

}  // namespace wattline
