// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>

namespace wattline {

// What is known of the wall clock when a record comes. Times since are on the monotonic clock, which only
// runs while the machine does.
struct ClockFacts {
  std::int64_t newestSecond = 0;  // the newest second the history has seen
  std::int64_t now = 0;           // the wall clock, in whole seconds
  double uptime = 0;              // the monotonic clock now
  // Since when the kernel has said, without a break, that a time service keeps its clock (NTP,
  // systemd-timesyncd); absent while it does not say so.
  std::optional<double> synchronisedSince;
  // Since when the wall clock has read, without a break, at least the retained week before the newest second.
  std::optional<double> behindSince;
};

enum class ClockVerdict {
  inStep,       // records are kept as they come
  hold,         // the clock reads a week or more behind the history: records are dropped, no row is touched
  forgetAhead,  // the clock is trusted: the rows after it came from a clock that ran ahead and are forgotten
};

inline constexpr double kSynchronisedTrustSeconds = 60;
inline constexpr double kBehindTrustSeconds = 24 * 3600;

// A week of history is never deleted on the word of one clock reading (a dead RTC before the network sets
// the time, a machine booted into an old snapshot): only a clock the kernel has called synchronised for a
// minute, or one that has stayed behind for a day of running time on a machine that never synchronises.
ClockVerdict judgeClock(const ClockFacts& facts);

}  // namespace wattline
