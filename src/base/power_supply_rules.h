// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "base/power_supply_reading.h"
#include "base/unavailable_reason.h"

// The battery and power-source rules over the kernel's supply readings. Inputs are in the kernel's
// micro-units, results in A, V, W and percent; a positive battery current or power means charging.
namespace wattline::PowerSupplyRules {

// The system's batteries: every battery that does not say it is absent.
std::vector<const PowerSupplyReading*> systemBatteries(const std::vector<PowerSupplyReading>& supplies);

// Whether the machine runs from outside: true while an external supply is online; false when every external
// supply says it is offline, or when there is none beside a battery; nothing when no supply tells.
std::optional<bool> externalOnline(const std::vector<PowerSupplyReading>& supplies);

// Current, voltage and power of the batteries.
struct BatteryPower {
  Measured amps;
  Measured volts;
  Measured watts;
};

// One battery: its current, or its power over its voltage; its voltage, or its power over its current. The
// status gives the sign where it tells; with no external supply online a battery can only discharge.
BatteryPower batteryPower(const PowerSupplyReading& battery, std::optional<bool> external);

// All batteries: the summed currents and the summed powers of each battery's own current and voltage; the
// voltage is the mean of theirs weighted by the size of their currents. Nothing where one battery lacks it.
BatteryPower batteriesPower(const std::vector<const PowerSupplyReading*>& batteries,
                            std::optional<bool> external);

// The charge in percent: a single battery's own capacity; for several, their energy now over their energy
// when full (a battery counting charge is converted with its own voltage), else the charges' ratio, else
// the mean of their capacities.
Measured percent(const std::vector<const PowerSupplyReading*>& batteries);

// The rated power of an online external supply: its maximum voltage times its maximum current, or for a
// USB-C source without a maximum voltage, the negotiated voltage.
std::optional<double> ratedWatts(const PowerSupplyReading& supply);

// What flows in through the adapter.
struct Input {
  Measured amps;
  Measured volts;
  Measured watts;
  bool ampsEstimated = false;
  bool wattsEstimated = false;
};

// The first online external supply that measures its input: its power, voltage and current, the current
// derived from the power where the driver gives no current, the power from voltage times current where it
// gives no power. A USB-C contract's current is no measurement.
Input input(const std::vector<PowerSupplyReading>& supplies);

}  // namespace wattline::PowerSupplyRules
