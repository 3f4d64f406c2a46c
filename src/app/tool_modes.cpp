// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tool_modes.h"

#include "platform/startup_policy.h"
#include "readers/process_power_policy.h"

namespace wattline {

nlohmann::json startupStatus(const std::string& version, const LoginItemManaging& loginItem,
                             const UserDefaults& defaults) {
  return {{"version", version},
          {"status", rawValue(loginItem.state())},
          {"showPanelOnLaunch", defaults.boolValue(StartupPolicy::showOnLaunchKey)}};
}

PowerSnapshot measureSnapshot(const std::function<PowerSnapshot(bool includeDetails)>& read, double seconds,
                              const std::function<void(double)>& sleep) {
  read(true);
  sleep(seconds);
  return read(true);
}

ProcessPowerSnapshot measureProcessPower(ProcessPowerReader& reader, double seconds,
                                         const std::function<void(double)>& sleep) {
  ProcessEnergyBatch first = reader.read();
  sleep(seconds);
  ProcessEnergyBatch second = reader.read();
  return ProcessPowerPolicy::sample(&first, second);
}

}  // namespace wattline
