// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_time.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include <unicode/locid.h>
#include <unicode/simpletz.h>

namespace wattline {

namespace {

constexpr std::int32_t kWidestOffset = 18 * 3600;
constexpr char kPattern[] = "yyyy-MM-dd HH:mm:ss Z";

std::string utf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// "GMT+05:30", the id ICU itself gives custom offset zones.
std::string offsetId(std::int32_t seconds) {
  std::int32_t magnitude = std::abs(seconds);
  char id[32];
  if (magnitude % 60 == 0)
    std::snprintf(id, sizeof id, "GMT%c%02d:%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
  else
    std::snprintf(id, sizeof id, "GMT%c%02d:%02d:%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60, magnitude % 60);
  return id;
}

// Two ASCII digits as a number; absent when either is not a digit.
std::optional<int> twoDigits(std::string_view text) {
  if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
    return std::nullopt;
  return (text[0] - '0') * 10 + (text[1] - '0');
}

}  // namespace

HistoryTimeZone HistoryTimeZone::current() {
  return HistoryTimeZone(std::shared_ptr<const icu::TimeZone>(icu::TimeZone::createDefault()));
}

HistoryTimeZone HistoryTimeZone::utc() {
  return HistoryTimeZone(std::shared_ptr<const icu::TimeZone>(icu::TimeZone::getGMT()->clone()));
}

std::optional<HistoryTimeZone> HistoryTimeZone::named(std::string_view ianaId) {
  std::shared_ptr<const icu::TimeZone> zone(icu::TimeZone::createTimeZone(
      icu::UnicodeString::fromUTF8(icu::StringPiece(ianaId.data(), ianaId.size()))));
  if (!zone || *zone == icu::TimeZone::getUnknown()) return std::nullopt;
  return HistoryTimeZone(std::move(zone));
}

std::optional<HistoryTimeZone> HistoryTimeZone::fixed(std::int32_t secondsFromUtc) {
  if (secondsFromUtc < -kWidestOffset || secondsFromUtc > kWidestOffset) return std::nullopt;
  auto id = icu::UnicodeString::fromUTF8(offsetId(secondsFromUtc));
  return HistoryTimeZone(std::make_shared<const icu::SimpleTimeZone>(secondsFromUtc * 1000, id));
}

std::string HistoryTimeZone::id() const {
  icu::UnicodeString id;
  zone_->getID(id);
  return utf8(id);
}

namespace HistoryTime {

std::unique_ptr<icu::SimpleDateFormat> formatter(const HistoryTimeZone& timeZone) {
  UErrorCode status = U_ZERO_ERROR;
  auto format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(kPattern, -1, US_INV),
                                                        icu::Locale("en_US_POSIX"), status);
  if (U_FAILURE(status)) return nullptr;
  format->setTimeZone(timeZone.zone());
  format->setLenient(false);
  return format;
}

std::string label(std::int64_t second, const HistoryTimeZone& timeZone) {
  auto format = formatter(timeZone);
  if (!format) return {};
  icu::UnicodeString text;
  format->format(static_cast<UDate>(second) * 1000.0, text);
  return utf8(text);
}

std::optional<std::int64_t> parse(std::string_view text) {
  static const std::regex shape(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} [+-]\d{4}$)");

  auto reader = formatter();
  if (!reader) return std::nullopt;
  icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
  icu::ParsePosition position(0);
  UDate instant = reader->parse(input, position);
  if (position.getIndex() == 0 || position.getErrorIndex() >= 0) return std::nullopt;

  if (!std::regex_match(text.begin(), text.end(), shape)) return std::nullopt;

  std::string_view offset = text.substr(text.size() - 5);
  int hours = twoDigits(offset.substr(1, 2)).value_or(99);
  std::optional<int> minutes = twoDigits(offset.substr(3, 2));
  if (!minutes) return std::nullopt;
  if (hours >= 15 || *minutes >= 60 || (hours == 14 && *minutes != 0)) return std::nullopt;
  int sign = offset[0] == '-' ? -1 : 1;
  auto zone = HistoryTimeZone::fixed(sign * (hours * 3600 + *minutes * 60));
  if (!zone) return std::nullopt;

  auto writer = formatter(*zone);
  if (!writer) return std::nullopt;
  icu::UnicodeString written;
  writer->format(instant, written);
  if (utf8(written) != text) return std::nullopt;

  if (std::fmod(instant, 1000.0) != 0) return std::nullopt;
  return static_cast<std::int64_t>(instant / 1000.0);
}

}  // namespace HistoryTime

}  // namespace wattline
