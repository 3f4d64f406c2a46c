// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>

namespace wattline {

// Wall-clock instants.
using Date = std::chrono::system_clock::time_point;

inline double secondsSince1970(Date date) {
  return std::chrono::duration<double>(date.time_since_epoch()).count();
}

inline Date dateFromSeconds(double seconds) {
  return Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds)));
}

// Whole Unix second containing `date` (floor, also before 1970).
inline std::int64_t unixSecond(Date date) {
  return static_cast<std::int64_t>(std::floor(secondsSince1970(date)));
}

// Seconds from `earlier` to `later`.
inline double secondsBetween(Date earlier, Date later) {
  return std::chrono::duration<double>(later - earlier).count();
}

// "Long ago": far enough that any retry interval has passed, near enough that
// differences with the present still fit the clock's 64-bit nanoseconds.
inline const Date kDistantPast = dateFromSeconds(-4.0e9);

}  // namespace wattline
