#include "readers/process_power_snapshot.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace wattline {

namespace {

// Whole seconds in UTC, "2026-12-06T16:14:12Z".
std::string isoDate(Date date) {
  std::time_t seconds = static_cast<std::time_t>(unixSecond(date));
  std::tm parts{};
  if (gmtime_r(&seconds, &parts) == nullptr) return {};
  char text[32];
  std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return std::string(text, length);
}

std::optional<Date> parseIsoDate(const std::string& text) {
  int year, month, day, hour, minute, second;
  char zone = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &year, &month, &day, &hour, &minute, &second,
                  &zone, &consumed) != 7 ||
      zone != 'Z' || static_cast<std::size_t>(consumed) != text.size())
    return std::nullopt;
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  std::time_t seconds = timegm(&parts);
  // timegm normalises out-of-range fields (Feb 30 becomes Mar 2); such dates are refused.
  if (parts.tm_year != year - 1900 || parts.tm_mon != month - 1 || parts.tm_mday != day ||
      parts.tm_hour != hour || parts.tm_min != minute || parts.tm_sec != second)
    return std::nullopt;
  return dateFromSeconds(static_cast<double>(seconds));
}

}  // namespace

std::string_view rawValue(ProcessPowerSnapshot::Phase phase) {
  switch (phase) {
    case ProcessPowerSnapshot::Phase::idle:
      return "idle";
    case ProcessPowerSnapshot::Phase::sampling:
      return "sampling";
    case ProcessPowerSnapshot::Phase::ready:
      return "ready";
    case ProcessPowerSnapshot::Phase::unavailable:
      return "unavailable";
  }
  return "idle";
}

std::optional<ProcessPowerSnapshot::Phase> parseProcessPowerPhase(std::string_view text) {
  for (auto phase : {ProcessPowerSnapshot::Phase::idle, ProcessPowerSnapshot::Phase::sampling,
                     ProcessPowerSnapshot::Phase::ready, ProcessPowerSnapshot::Phase::unavailable})
    if (rawValue(phase) == text) return phase;
  return std::nullopt;
}

bool ProcessPowerSnapshot::isFresh(Date date) const {
  if (!updatedAt) return false;
  double age = secondsBetween(*updatedAt, date);
  return age >= -1.0 && age <= 6.0;
}

ProcessPowerSnapshot ProcessPowerSnapshot::preview(Date now) {
  return {Phase::ready,
          {{"browser", "浏览器", 1.243, 6}, {"editor", "视频剪辑", 0.582, 2}, {"wattline", "瓦迹", 0.031, 1}},
          now};
}

nlohmann::json ProcessPowerSnapshot::toJSON() const {
  nlohmann::json rowsJSON = nlohmann::json::array();
  for (const auto& row : rows)
    rowsJSON.push_back(
        {{"id", row.id}, {"name", row.name}, {"watts", row.watts}, {"processCount", row.processCount}});
  nlohmann::json json = {{"phase", rawValue(phase)}, {"rows", std::move(rowsJSON)}};
  if (updatedAt) json["updatedAt"] = isoDate(*updatedAt);
  return json;
}

std::optional<ProcessPowerSnapshot> ProcessPowerSnapshot::fromJSON(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  auto phaseIt = json.find("phase");
  auto rowsIt = json.find("rows");
  if (phaseIt == json.end() || !phaseIt->is_string() || rowsIt == json.end() || !rowsIt->is_array())
    return std::nullopt;
  ProcessPowerSnapshot snapshot;
  auto phase = parseProcessPowerPhase(phaseIt->get<std::string>());
  if (!phase) return std::nullopt;
  snapshot.phase = *phase;
  for (const auto& item : *rowsIt) {
    if (!item.is_object()) return std::nullopt;
    auto id = item.find("id");
    auto name = item.find("name");
    auto watts = item.find("watts");
    auto count = item.find("processCount");
    if (id == item.end() || !id->is_string() || name == item.end() || !name->is_string() ||
        watts == item.end() || !watts->is_number() || count == item.end() || !count->is_number_integer())
      return std::nullopt;
    snapshot.rows.push_back(
        {id->get<std::string>(), name->get<std::string>(), watts->get<double>(), count->get<int>()});
  }
  if (auto date = json.find("updatedAt"); date != json.end()) {
    if (!date->is_string()) return std::nullopt;
    snapshot.updatedAt = parseIsoDate(date->get<std::string>());
    if (!snapshot.updatedAt) return std::nullopt;
  }
  return snapshot;
}

}  // namespace wattline
