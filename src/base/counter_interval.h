// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>

namespace wattline {

// Shortest and longest interval, in seconds, over which a counter's change gives a usable average.
inline constexpr double kMinimumInterval = 0.1;
inline constexpr double kMaximumInterval = 310.0;
// Wall clock and monotonic uptime must agree this closely over an interval, or the machine slept or the
// clock was set in between (the monotonic clock stops during suspend).
inline constexpr double kClockAgreement = 2.0;

// Whether `elapsed` monotonic seconds, over which the wall clock moved `wallElapsed`, give a usable average.
bool usableInterval(double elapsed, double wallElapsed);

// The energy counted from `earlier` to `later`, across one wrap-around at `maxRange` (the kernel's
// max_energy_range_uj); nothing when the counter went backwards without a known range, or beyond it.
std::optional<std::int64_t> energyDelta(std::int64_t earlier, std::int64_t later,
                                        std::optional<std::int64_t> maxRange);

}  // namespace wattline
