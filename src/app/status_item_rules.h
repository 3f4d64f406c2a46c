// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>

#include "base/date.h"
#include "platform/tray_host.h"

namespace wattline {

// The animation's next phase: the dot moves on by 0.13 of the battery per
// step (crossing it in about 1.9 s at 4 steps a second), wrapping at 1, but
// only while motion is allowed and data is available.
double nextAnimationPhase(double phase, bool reduceMotion, bool available);

// A reading older than three refresh intervals is no longer the machine's: the
// limit it has passed, or nothing while it is fresh.
std::optional<double> staleReadingLimit(Date readAt, Date now, double refreshInterval);

// Whether an item sitting in the top bar of its screen is hidden in part, so
// that it must shrink to its icon. An item below the top band, or without a
// size, is left alone.
bool itemCrowded(const TrayItemPlace& place);

}  // namespace wattline
