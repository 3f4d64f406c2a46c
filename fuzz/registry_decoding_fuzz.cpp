// Any property table decodes to a snapshot whose numbers are all finite.
#include <cmath>
#include <cstdlib>

#include "base/power_snapshot.h"
#include "fuzz_input.h"

using namespace wattline;

namespace {

const char* const kKeys[] = {"BatteryInstalled",
                             "ExternalConnected",
                             "PowerTelemetryData",
                             "AdapterDetails",
                             "UpdateTime",
                             "CurrentCapacity",
                             "MaxCapacity",
                             "Voltage",
                             "InstantAmperage",
                             "Amperage",
                             "Watts",
                             "SystemVoltageIn",
                             "SystemCurrentIn",
                             "SystemPowerIn",
                             "SystemLoad"};

PropertyTable table(FuzzInput& in, int depth) {
  PropertyTable result;
  int count = in.byte() % 12;
  for (int i = 0; i < count && !in.empty(); ++i) {
    std::string key = kKeys[in.byte() % std::size(kKeys)];
    switch (in.byte() % 7) {
      case 0:
        result.insert_or_assign(key, PropertyValue(in.byte() % 2 == 1));
        break;
      case 1:
        result.insert_or_assign(key, PropertyValue(in.value<std::int64_t>()));
        break;
      case 2:
        result.insert_or_assign(key,
                                PropertyValue(static_cast<unsigned long long>(in.value<std::uint64_t>())));
        break;
      case 3:
        result.insert_or_assign(key, PropertyValue(in.value<double>()));
        break;
      case 4:
        result.insert_or_assign(key, PropertyValue(in.text(8)));
        break;
      case 5:
        if (depth < 3) result.insert_or_assign(key, PropertyValue(table(in, depth + 1)));
        break;
      default:
        result.insert_or_assign(key, PropertyValue(static_cast<int>(in.value<std::int32_t>())));
        break;
    }
  }
  return result;
}

void check(const std::optional<double>& value) {
  if (value && !std::isfinite(*value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  PropertyTable properties = table(in, 0);
  PowerSnapshot s = PowerSnapshot::parse(properties, dateFromSeconds(1'780'000'000));
  for (const auto* value : {&s.percent, &s.batteryAmps, &s.batteryVolts, &s.batteryWatts, &s.inputAmps,
                            &s.inputVolts, &s.inputWatts, &s.systemWatts, &s.adapterRatedWatts})
    check(*value);
  if (s.systemWatts && *s.systemWatts < 0) std::abort();
  (void)s.status();
  (void)s.freshnessLabel(dateFromSeconds(1'780'000'001), 1);
  check(s.adapterToComputer());
  return 0;
}
