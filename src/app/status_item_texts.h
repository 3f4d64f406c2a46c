// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

#include "base/power_snapshot.h"

namespace wattline {

// What the status item says about a snapshot.
struct StatusTexts {
  // The wattage beside the icon: "12.3W", or "—W" without a reading.
  std::string title;
  std::string accessibilityLabel;
  std::string toolTip;
  bool operator==(const StatusTexts&) const = default;
};

// The widest title, so that hosts can reserve its room once.
inline constexpr const char* statusTitleGuide = "888.8W";
// What the item says before the first reading is shown.
inline constexpr const char* launchAccessibilityLabel = "瓦迹。查看充电器和电池的实时电流、供电流向。";

// `demoMode` is the demonstration scene shown, if any. A reading past its
// `staleLimit` (seconds) shows no number, and the tool tip says why.
StatusTexts statusTexts(const PowerSnapshot& snapshot, std::optional<int> demoMode,
                        std::optional<double> staleLimit = std::nullopt);

}  // namespace wattline
