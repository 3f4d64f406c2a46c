// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace wattline {

// A time zone for history texts: an IANA zone with its rules, or a fixed offset from UTC.
class HistoryTimeZone {
 public:
  // The zone the user's system is set to.
  static HistoryTimeZone current();
  static HistoryTimeZone utc();
  // Absent when the id names no zone known to the time-zone database.
  static std::optional<HistoryTimeZone> named(std::string_view ianaId);
  // Absent beyond ±18 hours, wider than any offset a text or a real zone carries.
  static std::optional<HistoryTimeZone> fixed(std::int32_t secondsFromUtc);

  const icu::TimeZone& zone() const { return *zone_; }
  std::string id() const;

 private:
  explicit HistoryTimeZone(std::shared_ptr<const icu::TimeZone> zone) : zone_(std::move(zone)) {}
  std::shared_ptr<const icu::TimeZone> zone_;
};

// The one text form of an exact history second, "yyyy-MM-dd HH:mm:ss Z", and its strict reading.
namespace HistoryTime {

// A new formatter: locale "en_US_POSIX", the given zone, the pattern above, lenient parsing off.
std::unique_ptr<icu::SimpleDateFormat> formatter(
    const HistoryTimeZone& timeZone = HistoryTimeZone::current());

// The text for `second` seconds after 1970-01-01 00:00:00 UTC, such as "2024-11-03 01:30:00 -0400".
std::string label(std::int64_t second, const HistoryTimeZone& timeZone = HistoryTimeZone::current());

// The whole Unix second a typed text names, accepted only when the formatter would write exactly that
// text for that instant at the text's own offset; absent otherwise. A second rather than a Date: the
// text reaches years 0000 to 9999, beyond the range of the clock's nanosecond time points.
std::optional<std::int64_t> parse(std::string_view text);

}  // namespace HistoryTime

}  // namespace wattline
