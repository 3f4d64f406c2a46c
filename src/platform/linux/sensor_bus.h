#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/identity.h"
#include "platform/linux/hwmon.h"
#include "platform/linux/power_supply.h"
#include "platform/linux/rapl.h"
#include "platform/smc_transport.h"

namespace wattline {

// Answers the controller's record protocol from class/hwmon and class/powercap:
// "F0Ac"/"F1Ac" from the first two fan inputs (the platform's own first), "PSTR"
// from the RAPL platform domain, "B0AC"/"B0AV" from the batteries; every other
// key is missing. A suspended device's fans are not read: reading would wake it.
class SensorBusService : public SmcService {
 public:
  SensorBusService(std::string sysfsRoot, std::shared_ptr<PowerSupplyScanner> supplies, const Clock& clock);
  // Nothing unless at least one key can be answered.
  std::unique_ptr<SmcTransport> open() override;

 private:
  std::string root_;
  std::shared_ptr<PowerSupplyScanner> supplies_;
  const Clock& clock_;
};

// A fan's input file and the device it belongs to.
struct FanInput {
  std::string path;
  HwmonDevice device;
};

// What an open sensor bus found; exposed for the service and the tests.
struct SensorBusSources {
  std::vector<FanInput> fans;  // at most two
  std::optional<RaplDomain> platform;
  bool battery = false;  // a system battery with a readable current or voltage
};

SensorBusSources findSensorBusSources(const std::string& sysfsRoot, const std::vector<SupplyEntry>& supplies);

}  // namespace wattline
