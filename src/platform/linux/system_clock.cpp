// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/system_clock.h"

#include <time.h>

#include <limits>

namespace wattline {

Date SystemClock::now() const {
  return std::chrono::system_clock::now();
}

double SystemClock::uptime() const {
  timespec ts{};
  // Not a number makes every interval measured with it unusable.
  if (::clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace wattline
