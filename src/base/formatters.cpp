// SPDX-License-Identifier: GPL-3.0-or-later

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/power_snapshot.h"

namespace wattline {

namespace {

std::string fixed(double value, int digits, std::string_view unit) {
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
  // A value too long for the buffer (1e300 W) is still shown whole.
  std::string text;
  if (n >= static_cast<int>(sizeof buffer)) {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::snprintf(text.data(), text.size(), "%.*f", digits, value);
    text.resize(static_cast<std::size_t>(n));
  } else {
    text.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  return text + " " + std::string(unit);
}

}  // namespace

std::string reading(std::optional<double> value, std::string_view unit, int digits, bool magnitude) {
  if (!value) return "— " + std::string(unit);
  return fixed(magnitude ? std::fabs(*value) : *value, std::clamp(digits, 0, 17), unit);
}

std::string precisePowerReading(std::optional<double> watts, bool estimated) {
  if (!watts || !std::isfinite(*watts) || *watts < 0) return "— W";
  int digits = *watts < 1 ? 3 : *watts < 10 ? 2 : 1;
  return (estimated ? "≈" : "") + fixed(*watts, digits, "W");
}

}  // namespace wattline
