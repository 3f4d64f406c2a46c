// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/refresh_policy.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace wattline {

namespace {

// Without every Unicode white space at both ends: Chinese input methods type
// U+3000 and U+00A0 as readily as a plain space.
std::string_view trimmed(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  auto length = static_cast<std::int32_t>(text.size());
  std::int32_t start = 0;
  while (start < length) {
    std::int32_t next = start;
    UChar32 c;
    U8_NEXT(bytes, next, length, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    start = next;
  }
  std::int32_t end = length;
  while (end > start) {
    std::int32_t previous = end;
    UChar32 c;
    U8_PREV(bytes, start, previous, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    end = previous;
  }
  return text.substr(start, end - start);
}

}  // namespace

bool RefreshPolicy::isValid(double seconds) {
  return std::isfinite(seconds) && seconds >= minimum && seconds <= maximum;
}

double RefreshPolicy::restored(std::optional<double> stored) {
  return stored && isValid(*stored) ? *stored : defaultInterval;
}

std::optional<double> RefreshPolicy::parse(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  std::string normalised(trimmed(text));
  for (char& c : normalised)
    if (c == ',') c = '.';
  std::string_view digits = normalised;
  if (digits.size() > 1 && digits.front() == '+') digits.remove_prefix(1);
  // from_chars ignores the locale, so "1.5" means one and a half everywhere.
  double value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return isValid(value) ? std::optional<double>(value) : std::nullopt;
}

std::string RefreshPolicy::label(double seconds) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%g 秒", seconds);
  return buffer;
}

}  // namespace wattline
