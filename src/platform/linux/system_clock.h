// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/identity.h"

namespace wattline {

// The system's wall clock and CLOCK_MONOTONIC, which stops during suspend.
class SystemClock : public Clock {
 public:
  Date now() const override;
  double uptime() const override;
};

}  // namespace wattline
