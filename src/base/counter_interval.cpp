// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/counter_interval.h"

#include <cmath>

namespace wattline {

bool usableInterval(double elapsed, double wallElapsed) {
  return elapsed >= kMinimumInterval && elapsed <= kMaximumInterval &&
         std::abs(wallElapsed - elapsed) < kClockAgreement;
}

std::optional<std::int64_t> energyDelta(std::int64_t earlier, std::int64_t later,
                                        std::optional<std::int64_t> maxRange) {
  if (earlier < 0 || later < 0) return std::nullopt;
  if (later >= earlier) return later - earlier;
  if (!maxRange || earlier > *maxRange) return std::nullopt;
  return *maxRange - earlier + later;
}

}  // namespace wattline
