// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <unicode/locid.h>

#include "history/history_navigation.h"
#include "history/history_time.h"
#include "history/history_types.h"

namespace wattline {

// The texts of the history window, computed from the explorer's values. Times follow the given zone
// and locale (the user's by default); numbers keep the C formats the window is specified with.
namespace HistoryTexts {

// One double through a printf format such as "%.1f%%".
std::string formatted(const char* format, double value);
// `second` in an ICU date pattern such as "HH:mm:ss".
std::string localTime(std::int64_t second, const char* pattern,
                      const HistoryTimeZone& zone = HistoryTimeZone::current(),
                      const icu::Locale& locale = icu::Locale::getDefault());
// An integer with the locale's grouping, such as "604,800".
std::string groupedInteger(std::int64_t value, const icu::Locale& locale = icu::Locale::getDefault());

// The chart's time labels show seconds up to 15 minutes and the date beyond one day.
const char* chartTimePattern(std::int64_t span);

// The four summary metrics and their helps.
struct Metrics {
  std::string average;
  std::string peak;
  std::string energy;
  std::string energyHelp;
  std::string coverage;
  std::string coverageHelp;
};
Metrics metrics(const HistorySummary& summary, double coverage, std::int64_t span,
                const icu::Locale& locale = icu::Locale::getDefault());

// "MM-dd HH:mm:ss — MM-dd HH:mm:ss" of the visible window (minutes beyond one day), and its exact form.
std::string rangeLabel(const HistoryNavigation& navigation,
                       const HistoryTimeZone& zone = HistoryTimeZone::current());
std::string rangeHelp(const HistoryNavigation& navigation,
                      const HistoryTimeZone& zone = HistoryTimeZone::current());

// The chart's notice when it has nothing to draw: absent while loading or with data.
struct Notice {
  std::string title;
  std::string detail;
};
std::optional<Notice> chartNotice(bool loading, std::int64_t valid, bool failed);

// The selected second's readings: whole system, CPU, GPU, built-in display.
std::array<std::string, 4> readings(const std::optional<HistorySecond>& row);

// One part of the selected second's status line.
struct StatusItem {
  std::string text;
  std::string help;
  bool warning = false;
  bool operator==(const StatusItem&) const = default;
};
std::vector<StatusItem> statusLine(const std::optional<HistorySecond>& row, bool locating,
                                   const std::optional<std::string>& detailError,
                                   const HistoryTimeZone& zone = HistoryTimeZone::current());

// A line of the per-second table around the cursor.
struct TableRow {
  std::string time;
  std::array<std::string, 4> readings;
  bool selected = false;
};
std::vector<TableRow> tableRows(const HistoryNavigation& navigation, const std::vector<HistorySecond>& rows,
                                const HistoryTimeZone& zone = HistoryTimeZone::current());

}  // namespace HistoryTexts

}  // namespace wattline
