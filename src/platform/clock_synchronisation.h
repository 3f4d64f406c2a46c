// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace wattline {

// Whether a time service keeps the kernel's clock (NTP, systemd-timesyncd).
class ClockSynchronisation {
 public:
  virtual ~ClockSynchronisation() = default;
  // False when the kernel says the clock is not synchronised, and when it cannot be asked.
  virtual bool synchronised() const = 0;
};

}  // namespace wattline
