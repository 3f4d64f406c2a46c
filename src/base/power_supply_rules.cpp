// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/power_supply_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace wattline::PowerSupplyRules {

namespace {

using Kind = UnavailableReason::Kind;

// What a notebook's battery or adapter can deliver; beyond it a reading is a driver's mistake.
constexpr double kMaximumAmps = 30.0;
constexpr double kMaximumVolts = 100.0;
constexpr double kMaximumWatts = 1000.0;

std::string describe(const char* attribute, double value, const char* unit) {
  char text[96];
  std::snprintf(text, sizeof text, "%s %.3f %s", attribute, value, unit);
  return text;
}

// An attribute in micro-units as a magnitude in units within (0 or above, up to) `maximum`.
Measured magnitude(const PowerSupplyReading& supply, const std::optional<std::int64_t>& micro,
                   const char* attribute, const char* unit, double maximum, bool positive = false) {
  if (!micro) return {std::nullopt, supply.whyAbsent(attribute)};
  const double value = std::abs(static_cast<double>(*micro)) / 1e6;
  if (value > maximum || (positive && value <= 0))
    return Measured::absent(Kind::implausible, supply.path + "/" + describe(attribute, value, unit));
  return {value, std::nullopt};
}

Measured product(const Measured& a, const Measured& b) {
  if (!a.value) return a;
  if (!b.value) return b;
  return {*a.value * *b.value, std::nullopt};
}

// a / b; b is a positive magnitude.
Measured quotient(const Measured& a, const Measured& b) {
  if (!a.value) return a;
  if (!b.value) return b;
  return {*a.value / *b.value, std::nullopt};
}

Measured negated(Measured m) {
  if (m.value) *m.value = -*m.value;
  return m;
}

// A battery's stored and full energy in µWh, when the driver counts energy or its charge can be converted
// with the battery's own voltage.
struct Energy {
  double now = 0;
  double full = 0;
};

std::optional<Energy> energyOf(const PowerSupplyReading& battery) {
  if (battery.energyNow && battery.energyFull)
    return Energy{static_cast<double>(*battery.energyNow), static_cast<double>(*battery.energyFull)};
  const auto volts = batteryPower(battery, std::nullopt).volts.value;
  if (battery.chargeNow && battery.chargeFull && volts)
    return Energy{static_cast<double>(*battery.chargeNow) * *volts,
                  static_cast<double>(*battery.chargeFull) * *volts};
  return std::nullopt;
}

Measured ratio(double now, double full, const PowerSupplyReading& battery) {
  if (!(full > 0) || now < 0) return Measured::absent(Kind::implausible, battery.path + " full at 0");
  return {std::min(now / full * 100.0, 100.0), std::nullopt};
}

bool isOn(const std::optional<std::int64_t>& flag) {
  return flag && *flag != 0;
}

}  // namespace

std::vector<const PowerSupplyReading*> systemBatteries(const std::vector<PowerSupplyReading>& supplies) {
  std::vector<const PowerSupplyReading*> batteries;
  for (const auto& supply : supplies) {
    if (supply.isBattery() && !(supply.present && *supply.present == 0)) batteries.push_back(&supply);
  }
  return batteries;
}

std::optional<bool> externalOnline(const std::vector<PowerSupplyReading>& supplies) {
  bool undetermined = false;
  for (const auto& supply : supplies) {
    if (!supply.isExternal()) continue;
    if (isOn(supply.online)) return true;
    if (!supply.online) undetermined = true;
  }
  if (undetermined || systemBatteries(supplies).empty()) return std::nullopt;
  return false;
}

BatteryPower batteryPower(const PowerSupplyReading& battery, std::optional<bool> external) {
  const Measured current = magnitude(battery, battery.currentNow, "current_now", "A", kMaximumAmps);
  const Measured power = magnitude(battery, battery.powerNow, "power_now", "W", kMaximumWatts);
  // A current of zero cannot carry the power over to a voltage.
  const bool flowing = current.value && *current.value > 0;
  const Measured voltage = magnitude(battery, battery.voltageNow, "voltage_now", "V", kMaximumVolts, true);
  BatteryPower flow;
  flow.amps = current.value || !power.value ? current : quotient(power, voltage);
  flow.volts = voltage.value || !power.value || !flowing ? voltage : quotient(power, current);
  flow.watts = current.value && voltage.value ? product(current, voltage)
               : power.value                  ? power
               : current.value                ? voltage
                                              : current;

  // Drivers disagree on the sign of the current, so the status decides where it tells.
  const auto raw = battery.currentNow ? battery.currentNow : battery.powerNow;
  const bool discharging = external == false || battery.status == "Discharging" ||
                           (battery.status != "Charging" && raw.value_or(0) < 0);
  if (discharging) {
    flow.amps = negated(flow.amps);
    flow.watts = negated(flow.watts);
  }
  return flow;
}

BatteryPower batteriesPower(const std::vector<const PowerSupplyReading*>& batteries,
                            std::optional<bool> external) {
  BatteryPower total{{0.0, {}}, {}, {0.0, {}}};
  double weighted = 0, weights = 0, volts = 0;
  std::optional<UnavailableReason> voltsMissing, weightsMissing;
  const auto add = [](Measured& sum, const Measured& part) {
    if (!sum.value) return;
    sum = part.value ? Measured{*sum.value + *part.value, std::nullopt} : part;
  };
  for (const auto* battery : batteries) {
    const BatteryPower flow = batteryPower(*battery, external);
    // A sum missing one battery would be a wrong value, not a partial one.
    add(total.amps, flow.amps);
    add(total.watts, flow.watts);
    if (!flow.volts.value) {
      if (!voltsMissing) voltsMissing = flow.volts.reason;
      continue;
    }
    volts += *flow.volts.value;
    if (!flow.amps.value) {
      weightsMissing = flow.amps.reason;
      continue;
    }
    weighted += std::abs(*flow.amps.value) * *flow.volts.value;
    weights += std::abs(*flow.amps.value);
  }
  if (batteries.empty()) voltsMissing = UnavailableReason{Kind::noDevice, "no system battery"};
  if (voltsMissing) {
    total.volts = {std::nullopt, voltsMissing};
  } else {
    // Weighted by the currents, the summed current times the voltage is the summed power while the
    // batteries flow the same way.
    const bool weightsKnown = !weightsMissing && weights > 0;
    total.volts = {weightsKnown ? weighted / weights : volts / static_cast<double>(batteries.size()),
                   std::nullopt};
  }
  return total;
}

Measured percent(const std::vector<const PowerSupplyReading*>& batteries) {
  if (batteries.empty()) return Measured::absent(Kind::noDevice, "no system battery");
  const auto every = [&](auto has) { return std::all_of(batteries.begin(), batteries.end(), has); };
  const auto capacity = [](const PowerSupplyReading* b) { return b->capacity && *b->capacity >= 0; };
  if (batteries.size() == 1 && capacity(batteries.front()))
    return {std::min(static_cast<double>(*batteries.front()->capacity), 100.0), std::nullopt};

  const auto sum = [&](auto energy) {
    Energy total;
    for (const auto* battery : batteries) {
      const Energy e = *energy(*battery);
      total.now += e.now;
      total.full += e.full;
    }
    return ratio(total.now, total.full, *batteries.front());
  };
  const auto ownEnergy = [](const PowerSupplyReading& b) {
    return b.energyNow && b.energyFull
               ? std::optional(Energy{static_cast<double>(*b.energyNow), static_cast<double>(*b.energyFull)})
               : std::nullopt;
  };
  const auto charge = [](const PowerSupplyReading& b) {
    return b.chargeNow && b.chargeFull
               ? std::optional(Energy{static_cast<double>(*b.chargeNow), static_cast<double>(*b.chargeFull)})
               : std::nullopt;
  };
  if (every([&](const PowerSupplyReading* b) { return ownEnergy(*b).has_value(); })) return sum(ownEnergy);
  if (every([&](const PowerSupplyReading* b) { return charge(*b).has_value(); })) return sum(charge);
  // Energy and charge do not add up; the charge becomes energy at the battery's own voltage.
  if (every([](const PowerSupplyReading* b) { return energyOf(*b).has_value(); })) return sum(energyOf);
  if (const auto lacking = std::find_if_not(batteries.begin(), batteries.end(), capacity);
      lacking != batteries.end())
    return {std::nullopt, (*lacking)->whyAbsent("capacity")};
  double total = 0;
  for (const auto* battery : batteries) total += static_cast<double>(*battery->capacity);
  return {std::min(total / static_cast<double>(batteries.size()), 100.0), std::nullopt};
}

std::optional<double> ratedWatts(const PowerSupplyReading& supply) {
  const auto volts = supply.voltageMax ? supply.voltageMax
                     : supply.isUsbC() ? supply.voltageNow
                                       : std::nullopt;
  if (!volts || !supply.currentMax || *volts <= 0 || *supply.currentMax <= 0) return std::nullopt;
  const double watts = static_cast<double>(*volts) * static_cast<double>(*supply.currentMax) / 1e12;
  if (watts > kMaximumWatts) return std::nullopt;
  return watts;
}

Input input(const std::vector<PowerSupplyReading>& supplies) {
  const PowerSupplyReading* first = nullptr;
  for (const auto& supply : supplies) {
    if (!supply.isExternal() || !isOn(supply.online)) continue;
    if (!first) first = &supply;
    const Measured power = magnitude(supply, supply.powerNow, "power_now", "W", kMaximumWatts);
    const Measured volts = magnitude(supply, supply.voltageNow, "voltage_now", "V", kMaximumVolts, true);
    const Measured amps =
        supply.isUsbC() ? Measured::absent(Kind::notReported, supply.path + "/current_now (a USB-C contract)")
                        : magnitude(supply, supply.currentNow, "current_now", "A", kMaximumAmps);
    if (power.value) {
      Input in{amps, volts, power};
      if (!amps.value && volts.value) {
        in.amps = quotient(power, volts);
        in.ampsEstimated = true;
      }
      return in;
    }
    if (amps.value && volts.value) return Input{amps, volts, product(volts, amps), false, true};
  }
  const auto none =
      first ? first->whyAbsent("power_now") : UnavailableReason{Kind::noDevice, "no external supply online"};
  return Input{{std::nullopt, none}, {std::nullopt, none}, {std::nullopt, none}};
}

}  // namespace wattline::PowerSupplyRules
