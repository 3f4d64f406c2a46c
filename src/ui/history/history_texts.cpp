// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/history/history_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>

#include "base/power_snapshot.h"

namespace wattline::HistoryTexts {

namespace {

std::string utf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// Formatters are costly to build: one per pattern and locale, per thread.
icu::SimpleDateFormat* dateFormat(const char* pattern, const icu::Locale& locale) {
  thread_local std::map<std::string, std::unique_ptr<icu::SimpleDateFormat>> cache;
  std::string key = std::string(pattern) + "|" + locale.getName();
  auto found = cache.find(key);
  if (found != cache.end()) return found->second.get();
  UErrorCode status = U_ZERO_ERROR;
  auto format =
      std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern), locale, status);
  if (U_FAILURE(status)) return nullptr;
  return cache.emplace(std::move(key), std::move(format)).first->second.get();
}

std::string integrated(double seconds) {
  if (seconds >= 3600) return formatted("%.1f 小时", seconds / 3600);
  if (seconds >= 60) return formatted("%.1f 分钟", seconds / 60);
  return formatted("%.1f 秒", seconds);
}

std::int64_t wholeSecond(double seconds) {
  return static_cast<std::int64_t>(std::floor(seconds));
}

}  // namespace

std::string formatted(const char* format, double value) {
  const int length = std::snprintf(nullptr, 0, format, value);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, value);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

std::string localTime(std::int64_t second, const char* pattern, const HistoryTimeZone& zone,
                      const icu::Locale& locale) {
  icu::SimpleDateFormat* format = dateFormat(pattern, locale);
  if (!format) return {};
  format->setTimeZone(zone.zone());
  icu::UnicodeString text;
  format->format(static_cast<UDate>(second) * 1000.0, text);
  return utf8(text);
}

std::string groupedInteger(std::int64_t value, const icu::Locale& locale) {
  thread_local std::map<std::string, std::unique_ptr<icu::NumberFormat>> cache;
  std::unique_ptr<icu::NumberFormat>& format = cache[locale.getName()];
  if (!format) {
    UErrorCode status = U_ZERO_ERROR;
    format.reset(icu::NumberFormat::createInstance(locale, status));
    if (U_FAILURE(status)) format.reset();
  }
  if (!format) return std::to_string(value);
  icu::UnicodeString text;
  format->format(static_cast<int64_t>(value), text);
  return utf8(text);
}

const char* chartTimePattern(std::int64_t span) {
  if (span <= 900) return "HH:mm:ss";
  if (span <= 86400) return "HH:mm";
  return "MM-dd HH:mm";
}

Metrics metrics(const HistorySummary& summary, double coverage, std::int64_t span,
                const icu::Locale& locale) {
  Metrics m;
  const std::optional<double> average = summary.average();
  const bool any = summary.valid >= 1;
  m.average = average ? reading(average, "W", 1, false) : "—";
  m.peak = any ? reading(summary.peak, "W", 1, false) : "—";
  if (any)
    m.energy = "≈ " + (summary.wattHours >= 1000 ? reading(summary.wattHours / 1000, "kWh", 3, false)
                                                 : reading(summary.wattHours, "Wh", 3, false));
  else
    m.energy = "—";
  m.energyHelp = "有效样本积分 " + integrated(summary.integratedSeconds) + "；不跨缺口。只代表已覆盖部分。";
  m.coverage = formatted("%.1f%%", coverage * 100);
  m.coverageHelp = groupedInteger(summary.valid, locale) + " / " + groupedInteger(span, locale) + " 秒有效";
  return m;
}

std::string rangeLabel(const HistoryNavigation& navigation, const HistoryTimeZone& zone) {
  const char* pattern = navigation.span <= 86400 ? "MM-dd HH:mm:ss" : "MM-dd HH:mm";
  return localTime(navigation.start(), pattern, zone) + " — " + localTime(navigation.end, pattern, zone);
}

std::string rangeHelp(const HistoryNavigation& navigation, const HistoryTimeZone& zone) {
  return HistoryTime::label(navigation.start(), zone) + " — " + HistoryTime::label(navigation.end, zone);
}

std::optional<Notice> chartNotice(bool loading, std::int64_t valid, bool failed) {
  if (loading || valid != 0) return std::nullopt;
  if (failed) return Notice{"暂时无法显示曲线", "请查看上方提示并重试"};
  return Notice{"这个时段暂无有效记录", "浏览概览，或回到最新时段"};
}

std::array<std::string, 4> readings(const std::optional<HistorySecond>& row) {
  if (!row) {
    const std::string absent = precisePowerReading(std::nullopt, false);
    return {absent, absent, absent, absent};
  }
  return {precisePowerReading(row->watts, row->estimated), precisePowerReading(row->cpu, false),
          precisePowerReading(row->gpu, false), precisePowerReading(row->display, false)};
}

std::vector<StatusItem> statusLine(const std::optional<HistorySecond>& row, bool locating,
                                   const std::optional<std::string>& detailError,
                                   const HistoryTimeZone& zone) {
  std::vector<StatusItem> items;
  if (row) {
    items.push_back({row->external ? "外接供电" : "电池供电", {}, false});
    const std::optional<BatteryFlow> flow = batteryFlowFromRaw(row->flow);
    items.push_back({flow ? std::string(title(*flow)) : "状态未知", {}, false});
    items.push_back({row->source == "sensor" ? "直接采样" : "系统缓存", {}, false});
    if (!row->watts) items.push_back({"功率缺失或过期", "", true});
    if (row->sensorTime) {
      const std::int64_t second = wholeSecond(*row->sensorTime);
      items.push_back({"源 " + localTime(second, "HH:mm:ss", zone), HistoryTime::label(second, zone)});
    }
  } else {
    items.push_back({locating ? "正在读取这一秒…" : "这一秒未记录，不以零瓦补齐", {}, false});
  }
  if (detailError) items.push_back({*detailError, "", true});
  return items;
}

std::vector<TableRow> tableRows(const HistoryNavigation& navigation, const std::vector<HistorySecond>& rows,
                                const HistoryTimeZone& zone) {
  std::vector<TableRow> table;
  const std::int64_t first = std::max(navigation.selected - 5, navigation.oldest());
  const std::int64_t last = std::min(navigation.selected + 5, navigation.latest);
  for (std::int64_t second = first; second <= last; ++second) {
    auto found =
        std::find_if(rows.begin(), rows.end(), [&](const HistorySecond& r) { return r.second == second; });
    const auto row = found == rows.end() ? std::nullopt : std::optional<HistorySecond>(*found);
    table.push_back({localTime(second, "HH:mm:ss", zone), readings(row), second == navigation.selected});
  }
  return table;
}

}  // namespace wattline::HistoryTexts
