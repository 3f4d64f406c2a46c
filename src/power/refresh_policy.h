// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace wattline {

// The refresh interval: its stored key, limits, menu presets and texts.
struct RefreshPolicy {
  static constexpr const char* key = "refreshIntervalSeconds";
  static constexpr double defaultInterval = 1.0;
  static constexpr double minimum = 0.5;
  static constexpr double maximum = 300;
  static constexpr std::array<double, 7> presets = {0.5, 1, 2, 5, 10, 30, 60};

  static bool isValid(double seconds);
  // The stored value when it is valid, else the default.
  static double restored(std::optional<double> stored);
  // What the user typed; a decimal comma is accepted. Nothing when invalid.
  static std::optional<double> parse(std::string_view text);
  static std::string label(double seconds);
};

}  // namespace wattline
