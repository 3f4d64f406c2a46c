// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/json_coding.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace wattline {

namespace {

using nlohmann::json;

bool digits(std::string_view text, std::size_t from, std::size_t count, int& out) {
  if (from + count > text.size()) return false;
  int value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  out = value;
  return true;
}

void putOptional(json& object, const char* key, const std::optional<double>& value) {
  if (value) object[key] = *value;
}

void putOptional(json& object, const char* key, const std::optional<Date>& value) {
  if (value) object[key] = isoDate(*value);
}

const json& required(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null())
    throw JsonDecodingError(std::string("missing key \"") + key + "\"");
  return *it;
}

bool requiredBool(const json& object, const char* key) {
  const json& value = required(object, key);
  if (!value.is_boolean()) throw JsonDecodingError(std::string("\"") + key + "\" is not a boolean");
  return value.get<bool>();
}

Date dateValue(const json& value, const char* key) {
  if (value.is_string()) {
    if (auto date = parseIsoDate(value.get<std::string>())) return *date;
  }
  throw JsonDecodingError(std::string("\"") + key + "\" is not an ISO 8601 date");
}

std::optional<double> optionalDouble(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  if (!it->is_number()) throw JsonDecodingError(std::string("\"") + key + "\" is not a number");
  return it->get<double>();
}

std::optional<Date> optionalDate(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  return dateValue(*it, key);
}

PowerDataSource source(const json& object, const char* key) {
  const json& value = required(object, key);
  if (value.is_string())
    if (auto parsed = powerDataSourceFromRaw(value.get<std::string>())) return *parsed;
  throw JsonDecodingError(std::string("\"") + key + "\" is not a data source");
}

}  // namespace

std::string isoDate(Date date) {
  std::time_t seconds = static_cast<std::time_t>(unixSecond(date));
  std::tm utc{};
  if (!gmtime_r(&seconds, &utc)) return {};
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buffer;
}

std::optional<Date> parseIsoDate(std::string_view text) {
  int year, month, day, hour, minute, second;
  if (text.size() < 20 || !digits(text, 0, 4, year) || text[4] != '-' || !digits(text, 5, 2, month) ||
      text[7] != '-' || !digits(text, 8, 2, day) || text[10] != 'T' || !digits(text, 11, 2, hour) ||
      text[13] != ':' || !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second))
    return std::nullopt;
  std::size_t pos = 19;
  double fraction = 0;
  if (text[pos] == '.') {
    double scale = 0.1;
    ++pos;
    std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      fraction += (text[pos] - '0') * scale;
      scale /= 10;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  int offset = 0;
  if (pos < text.size() && text[pos] == 'Z') {
    ++pos;
  } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    int oh, om;
    if (!digits(text, pos + 1, 2, oh) || pos + 3 >= text.size() || text[pos + 3] != ':' ||
        !digits(text, pos + 4, 2, om) || oh > 23 || om > 59)
      return std::nullopt;
    offset = (text[pos] == '-' ? -1 : 1) * (oh * 3600 + om * 60);
    pos += 6;
  } else {
    return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  std::time_t t = timegm(&tm);
  // timegm normalises 30 February into March; such a date is not a date.
  std::tm check{};
  if (!gmtime_r(&t, &check) || check.tm_mday != day || check.tm_mon != month - 1) return std::nullopt;
  double seconds = static_cast<double>(t - offset) + fraction;
  // A time point holds about 292 years either side of 1970; a date beyond would wrap around.
  if (!(std::abs(seconds) < secondsSince1970(Date::max()) - 1)) return std::nullopt;
  return dateFromSeconds(seconds);
}

json toJson(const PowerSnapshot& s) {
  json o = json::object();
  o["timestamp"] = isoDate(s.timestamp);
  o["available"] = s.available;
  o["batteryInstalled"] = s.batteryInstalled;
  // Unknown is not false: a power source no supply tells of is left out, with its reason.
  if (s.externalKnown()) o["externalConnected"] = s.externalConnected;
  putOptional(o, "percent", s.percent);
  putOptional(o, "batteryAmps", s.batteryAmps);
  putOptional(o, "batteryVolts", s.batteryVolts);
  putOptional(o, "batteryWatts", s.batteryWatts);
  putOptional(o, "inputAmps", s.inputAmps);
  putOptional(o, "inputVolts", s.inputVolts);
  putOptional(o, "inputWatts", s.inputWatts);
  putOptional(o, "systemWatts", s.systemWatts);
  putOptional(o, "cpuWatts", s.cpuWatts);
  putOptional(o, "gpuWatts", s.gpuWatts);
  o["gpuWattsEstimated"] = s.gpuWattsEstimated;
  putOptional(o, "displayWatts", s.displayWatts);
  putOptional(o, "componentsUpdatedAt", s.componentsUpdatedAt);
  putOptional(o, "componentSampleDuration", s.componentSampleDuration);
  putOptional(o, "displayUpdatedAt", s.displayUpdatedAt);
  putOptional(o, "wifiWatts", s.wifiWatts);
  json fans = json::array();
  for (const auto& fan : s.fanSpeeds) fans.push_back({{"id", fan.id}, {"rpm", fan.rpm}});
  o["fanSpeeds"] = fans;
  putOptional(o, "detailSensorsUpdatedAt", s.detailSensorsUpdatedAt);
  putOptional(o, "adapterRatedWatts", s.adapterRatedWatts);
  o["inputAmpsEstimated"] = s.inputAmpsEstimated;
  o["inputWattsEstimated"] = s.inputWattsEstimated;
  o["systemEstimated"] = s.systemEstimated;
  if (s.error) o["error"] = *s.error;
  o["batterySource"] = rawValue(s.batterySource);
  o["inputSource"] = rawValue(s.inputSource);
  o["systemSource"] = rawValue(s.systemSource);
  putOptional(o, "batteryUpdatedAt", s.batteryUpdatedAt);
  putOptional(o, "inputUpdatedAt", s.inputUpdatedAt);
  putOptional(o, "systemUpdatedAt", s.systemUpdatedAt);
  if (!s.unavailable.empty()) {
    json& reasons = o["unavailable"] = json::object();
    for (const auto& [field, reason] : s.unavailable) reasons[field] = reason.text();
  }
  return o;
}

PowerSnapshot snapshotFromJson(const json& o) {
  if (!o.is_object()) throw JsonDecodingError("a snapshot must be a JSON object");
  PowerSnapshot s;
  s.timestamp = dateValue(required(o, "timestamp"), "timestamp");
  s.available = requiredBool(o, "available");
  s.batteryInstalled = requiredBool(o, "batteryInstalled");
  if (auto it = o.find("unavailable"); it != o.end() && !it->is_null()) {
    if (!it->is_object()) throw JsonDecodingError("\"unavailable\" is not an object");
    for (const auto& [field, text] : it->items()) {
      const auto reason =
          text.is_string() ? UnavailableReason::fromText(text.get<std::string>()) : std::nullopt;
      if (!reason) throw JsonDecodingError("the reason for \"" + field + "\" is no reason");
      s.unavailable.emplace(field, *reason);
    }
  }
  s.externalConnected = s.externalKnown() && requiredBool(o, "externalConnected");
  s.percent = optionalDouble(o, "percent");
  s.batteryAmps = optionalDouble(o, "batteryAmps");
  s.batteryVolts = optionalDouble(o, "batteryVolts");
  s.batteryWatts = optionalDouble(o, "batteryWatts");
  s.inputAmps = optionalDouble(o, "inputAmps");
  s.inputVolts = optionalDouble(o, "inputVolts");
  s.inputWatts = optionalDouble(o, "inputWatts");
  s.systemWatts = optionalDouble(o, "systemWatts");
  s.cpuWatts = optionalDouble(o, "cpuWatts");
  s.gpuWatts = optionalDouble(o, "gpuWatts");
  s.gpuWattsEstimated = requiredBool(o, "gpuWattsEstimated");
  s.displayWatts = optionalDouble(o, "displayWatts");
  s.componentsUpdatedAt = optionalDate(o, "componentsUpdatedAt");
  s.componentSampleDuration = optionalDouble(o, "componentSampleDuration");
  s.displayUpdatedAt = optionalDate(o, "displayUpdatedAt");
  s.wifiWatts = optionalDouble(o, "wifiWatts");
  const json& fans = required(o, "fanSpeeds");
  if (!fans.is_array()) throw JsonDecodingError("\"fanSpeeds\" is not an array");
  for (const json& fan : fans) {
    if (!fan.is_object()) throw JsonDecodingError("a fan speed is not an object");
    const json& id = required(fan, "id");
    const json& rpm = required(fan, "rpm");
    if (!id.is_number_integer() || !rpm.is_number()) throw JsonDecodingError("a fan speed has a wrong type");
    s.fanSpeeds.push_back({id.get<std::int64_t>(), rpm.get<double>()});
  }
  s.detailSensorsUpdatedAt = optionalDate(o, "detailSensorsUpdatedAt");
  s.adapterRatedWatts = optionalDouble(o, "adapterRatedWatts");
  s.inputAmpsEstimated = requiredBool(o, "inputAmpsEstimated");
  s.inputWattsEstimated = requiredBool(o, "inputWattsEstimated");
  s.systemEstimated = requiredBool(o, "systemEstimated");
  if (auto it = o.find("error"); it != o.end() && !it->is_null()) {
    if (!it->is_string()) throw JsonDecodingError("\"error\" is not a string");
    s.error = it->get<std::string>();
  }
  s.batterySource = source(o, "batterySource");
  s.inputSource = source(o, "inputSource");
  s.systemSource = source(o, "systemSource");
  s.batteryUpdatedAt = optionalDate(o, "batteryUpdatedAt");
  s.inputUpdatedAt = optionalDate(o, "inputUpdatedAt");
  s.systemUpdatedAt = optionalDate(o, "systemUpdatedAt");
  return s;
}

std::string prettyJson(const json& value) {
  // Replace invalid UTF-8 rather than throw: an error text from a driver may carry any bytes.
  return value.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace wattline
