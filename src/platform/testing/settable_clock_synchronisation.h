// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/clock_synchronisation.h"

namespace wattline::testing {

// The kernel's synchronisation flag as the test sets it.
class SettableClockSynchronisation : public ClockSynchronisation {
 public:
  bool synchronised() const override { return value; }
  bool value = false;
};

}  // namespace wattline::testing
