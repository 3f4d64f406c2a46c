// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/clock_synchronisation.h"

namespace wattline {

// The kernel's own flag: adjtimex() reports STA_UNSYNC until a time service has set the clock, and again
// when the service stops disciplining it.
class KernelClockSynchronisation : public ClockSynchronisation {
 public:
  bool synchronised() const override;
};

}  // namespace wattline
