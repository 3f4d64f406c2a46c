#pragma once

#include <memory>
#include <mutex>

#include "base/power_snapshot.h"
#include "platform/energy_reports.h"
#include "platform/identity.h"
#include "platform/power_sources.h"
#include "platform/registry.h"
#include "platform/smc_transport.h"
#include "readers/component_power_reader.h"
#include "readers/live_sensor_connection.h"

namespace wattline {

// The platform services one reader samples. All must be set; the clock comes
// first so that it outlives the adapters that read it.
struct PowerReaderServices {
  std::unique_ptr<Clock> clock;
  std::unique_ptr<Registry> registry;
  std::unique_ptr<PowerSources> powerSources;
  std::unique_ptr<SmcService> smc;
  std::unique_ptr<EnergyReports> energyReports;
};

// Samples the battery registry, the controller, the providing power source and
// the energy counters into one snapshot. Safe to call from any thread; whole
// reads are serialised.
class LivePowerReader {
 public:
  // Seconds between two attempts to open the controller while it is closed.
  static constexpr double kReopenInterval = 10.0;

  explicit LivePowerReader(PowerReaderServices services);

  // `includeDetails` adds the wifi and fan keys to the controller keys read.
  PowerSnapshot read(bool includeDetails);

 private:
  PowerReaderServices services_;
  std::mutex lock_;
  std::unique_ptr<LiveSensorConnection> sensors_;
  Date lastOpenAttempt_ = kDistantPast;
  ComponentPowerReader components_;
};

// The process-wide reader over this machine's services, created on first use.
namespace PowerReader {
PowerSnapshot read(bool includeDetails);
}  // namespace PowerReader

}  // namespace wattline
