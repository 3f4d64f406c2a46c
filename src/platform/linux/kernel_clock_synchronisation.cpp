// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/kernel_clock_synchronisation.h"

#include <sys/timex.h>

namespace wattline {

bool KernelClockSynchronisation::synchronised() const {
  timex reading{};  // modes 0: only read
  return adjtimex(&reading) != -1 && (reading.status & STA_UNSYNC) == 0;
}

}  // namespace wattline
