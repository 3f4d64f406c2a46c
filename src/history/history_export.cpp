// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_export.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/json_coding.h"

namespace wattline {

namespace {

// Whole seconds and minutes are integers; the observation times are fractional.
bool isTimeColumn(const std::string& name) {
  return name == "second" || name == "minute" || name == "observed" || name == "sensor_time";
}

std::string isoTime(double seconds) {
  const double whole = std::floor(seconds);
  std::string text = isoDate(dateFromSeconds(whole));
  if (seconds != whole && !text.empty()) {
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>((seconds - whole) * 1000));
    text.insert(text.size() - 1, fraction);
  }
  return text;
}

std::string number(double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

nlohmann::json optionalNumber(std::optional<double> value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

}  // namespace

std::optional<std::int64_t> parseDuration(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  std::int64_t unit = 0;
  switch (text.back()) {
    case 's':
      unit = 1;
      break;
    case 'm':
      unit = 60;
      break;
    case 'h':
      unit = 3600;
      break;
    case 'd':
      unit = 86400;
      break;
    default:
      return std::nullopt;
  }
  std::int64_t count = 0;
  const char* last = text.data() + text.size() - 1;
  const auto [end, error] = std::from_chars(text.data(), last, count);
  std::int64_t seconds = 0;
  if (error != std::errc() || end != last || count <= 0 || __builtin_mul_overflow(count, unit, &seconds))
    return std::nullopt;
  return seconds;
}

std::optional<ExportFormat> parseExportFormat(std::string_view text) {
  if (text == "csv") return ExportFormat::csv;
  if (text == "json") return ExportFormat::json;
  return std::nullopt;
}

HistoryExportWriter::HistoryExportWriter(std::ostream& out, ExportFormat format,
                                         std::vector<std::string> columns)
    : out_(out), format_(format), columns_(std::move(columns)) {
  for (const auto& column : columns_) times_.push_back(isTimeColumn(column));
  if (format_ == ExportFormat::json) {
    out_ << "[";
    return;
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) out_ << (i ? "," : "") << columns_[i];
  out_ << "\n";
}

void HistoryExportWriter::row(const std::vector<HistoryCell>& cells) {
  nlohmann::json object = nlohmann::json::object();
  std::string line;
  for (std::size_t i = 0; i < cells.size() && i < columns_.size(); ++i) {
    nlohmann::json value;
    std::string text;
    if (const auto* integer = std::get_if<std::int64_t>(&cells[i])) {
      value = *integer;
      text = std::to_string(*integer);
      if (times_[i]) value = text = isoTime(static_cast<double>(*integer));
    } else if (const auto* real = std::get_if<double>(&cells[i])) {
      value = *real;
      text = number(*real);
      if (times_[i]) value = text = isoTime(*real);
    } else if (const auto* string = std::get_if<std::string>(&cells[i])) {
      value = *string;
      text = csvField(*string);
    }
    if (format_ == ExportFormat::json)
      object[columns_[i]] = std::move(value);
    else
      line += (i ? "," : "") + text;
  }
  if (format_ == ExportFormat::json) {
    out_ << (first_ ? "\n" : ",\n") << object.dump();
  } else {
    out_ << line << "\n";
  }
  first_ = false;
}

void HistoryExportWriter::finish() {
  if (format_ == ExportFormat::json) out_ << (first_ ? "]\n" : "\n]\n");
  out_.flush();
}

nlohmann::json appEnergyJson(const AppEnergyRanking& ranking, std::int64_t from, std::int64_t through,
                             bool onBatteryOnly) {
  auto entry = [&](const AppEnergyTotal& app, bool billed) {
    nlohmann::json json = {{"name", billed ? app.name : kUnbilledName},
                           {"wattHours", app.joules / 3600},
                           {"averageWatts", optionalNumber(averageWatts(app, ranking))}};
    if (billed) {
      json["app"] = app.app;
      json["share"] = optionalNumber(energyShare(app, ranking));
      json["cpuSeconds"] = optionalNumber(app.cpuSeconds);
    }
    return json;
  };
  nlohmann::json apps = nlohmann::json::array();
  for (const auto& app : ranking.apps) apps.push_back(entry(app, true));
  return {{"from", isoDate(dateFromSeconds(static_cast<double>(from)))},
          {"through", isoDate(dateFromSeconds(static_cast<double>(through)))},
          {"onBatteryOnly", onBatteryOnly},
          {"measuredSeconds", ranking.seconds},
          {"billedWattHours", ranking.billedJoules / 3600},
          {"apps", std::move(apps)},
          {"unbilled", ranking.unbilled ? entry(*ranking.unbilled, false) : nlohmann::json(nullptr)}};
}

}  // namespace wattline
