// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever texts a driver puts in its supply attributes: parsing them never crashes, and the supplies they
// make decode to a snapshot whose numbers are finite, whose system power is not negative and whose absent
// battery and input values each carry a reason.
#include <cmath>
#include <cstdlib>

#include "base/power_snapshot.h"
#include "fuzz_input.h"
#include "platform/linux/sysfs_file.h"

using namespace wattline;

namespace {

const char* const kStatuses[] = {"Charging", "Discharging", "Not charging", "Full", "Unknown", ""};

std::optional<std::int64_t> attribute(FuzzInput& in) {
  return in.byte() % 4 == 0 ? std::nullopt : sysfs::parseInteger(in.text(24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const Date at = dateFromSeconds(1'800'000'000);
  PowerSupplyScan scan{"/sys/class/power_supply", {}, at};
  for (int i = in.byte() % 4; i > 0 && !in.empty(); --i) {
    PowerSupplyReading s;
    s.name = in.text(8);
    s.path = scan.directory + "/" + s.name;
    s.type = static_cast<PowerSupplyType>(in.byte() % 4);
    s.status = kStatuses[in.byte() % std::size(kStatuses)];
    for (auto* field :
         {&s.present, &s.online, &s.voltageNow, &s.currentNow, &s.powerNow, &s.capacity, &s.energyNow,
          &s.energyFull, &s.chargeNow, &s.chargeFull, &s.voltageMax, &s.currentMax})
      *field = attribute(in);
    scan.supplies.push_back(std::move(s));
  }
  const PowerSnapshot s = PowerSnapshot::parse(scan, at);
  for (const auto& [value, name] : {std::pair{&s.percent, "percent"},
                                    {&s.batteryAmps, "batteryAmps"},
                                    {&s.batteryVolts, "batteryVolts"},
                                    {&s.batteryWatts, "batteryWatts"},
                                    {&s.inputAmps, "inputAmps"},
                                    {&s.inputVolts, "inputVolts"},
                                    {&s.inputWatts, "inputWatts"},
                                    {&s.systemWatts, "systemWatts"},
                                    {&s.adapterRatedWatts, "adapterRatedWatts"}}) {
    if (*value ? !std::isfinite(**value) : !s.unavailable.contains(name)) std::abort();
  }
  if (s.systemWatts && *s.systemWatts < 0) std::abort();
  (void)s.status();
  return 0;
}
