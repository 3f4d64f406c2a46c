// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <mutex>

#include "base/power_snapshot.h"
#include "platform/power_reader_services.h"
#include "readers/component_power.h"

namespace wattline {

// Samples the power supplies, the energy counters and, with details, the fans into one snapshot. Safe to
// call from any thread; whole reads are serialised.
class LivePowerReader {
 public:
  explicit LivePowerReader(PowerReaderServices services) : services_(std::move(services)) {}

  PowerSnapshot read(bool includeDetails);

 private:
  PowerReaderServices services_;
  std::mutex lock_;
  ComponentPowerReader components_;
};

}  // namespace wattline
