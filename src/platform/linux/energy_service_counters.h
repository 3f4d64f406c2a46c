// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/energy_counters.h"
#include "platform/identity.h"
#include "platform/linux/energy_service.h"

namespace wattline {

// Reads the counters directly and asks the energy service for the RAPL counters whose energy_uj could not be
// read (root-only since Linux 5.10): one call for all of them, only when needed. A counter the service
// answers for carries the service's read time, on the same monotonic clock as a direct read, so intervals
// are measured between the service's reads and never by when this caller happened to ask. A counter neither
// path could read keeps its reason, with the service's own added to it.
class EnergyServiceCounters : public EnergyCounterSource {
 public:
  EnergyServiceCounters(std::unique_ptr<EnergyCounterSource> direct,
                        std::shared_ptr<EnergyServiceClient> service, const Clock& clock)
      : direct_(std::move(direct)), service_(std::move(service)), clock_(clock) {}

  EnergyCounterScan read() override;

 private:
  std::unique_ptr<EnergyCounterSource> direct_;
  std::shared_ptr<EnergyServiceClient> service_;
  const Clock& clock_;
};

}  // namespace wattline
