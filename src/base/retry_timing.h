// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/date.h"

namespace wattline {

// Whether a new attempt is due `interval` seconds after the one at `last`. A
// wall clock set back before `last` makes it due at once, instead of after the
// clock has caught up again, which could take hours.
inline bool attemptDue(Date last, Date now, double interval) {
  const double elapsed = secondsBetween(last, now);
  return elapsed >= interval || elapsed < 0;
}

}  // namespace wattline
