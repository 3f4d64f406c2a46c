#include "power/refresh_policy.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace wattline {

bool RefreshPolicy::isValid(double seconds) {
  return std::isfinite(seconds) && seconds >= minimum && seconds <= maximum;
}

double RefreshPolicy::restored(std::optional<double> stored) {
  return stored && isValid(*stored) ? *stored : defaultInterval;
}

std::optional<double> RefreshPolicy::parse(std::string_view text) {
  constexpr std::string_view blanks = " \t\n\r\v\f";
  auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(blanks) - first + 1);
  std::string normalised(text);
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
