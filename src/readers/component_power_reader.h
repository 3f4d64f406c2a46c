#pragma once

#include <memory>
#include <optional>

#include "base/date.h"
#include "platform/energy_reports.h"
#include "platform/identity.h"
#include "platform/registry.h"
#include "readers/component_power_policy.h"

namespace wattline {

// CPU and GPU power from the energy counters: each read averages the energy
// counted since the previous read. Not thread-safe: its owner serialises it.
class ComponentPowerReader {
 public:
  // Seconds between two attempts to subscribe.
  static constexpr double kRetryInterval = 30.0;

  ComponentPowerReader(EnergyReports& reports, Registry& registry, const Clock& clock);

  // One sample; empty until two samples lie a plausible interval apart.
  ComponentPowerReading read();

 private:
  void connect();
  void reset();

  EnergyReports& reports_;
  Registry& registry_;
  const Clock& clock_;

  std::unique_ptr<EnergyReportLibrary> api_;
  std::unique_ptr<ReportSubscription> subscription_;
  std::shared_ptr<const ReportSamples> previous_;
  std::optional<double> previousTime_;
  std::optional<Date> previousWallTime_;
  Date lastAttempt_ = kDistantPast;
};

}  // namespace wattline
