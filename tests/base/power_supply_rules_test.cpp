// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/power_supply_rules.h"

#include <gtest/gtest.h>

#include "base/power_snapshot.h"

namespace wattline {
namespace {

using namespace PowerSupplyRules;
using Kind = UnavailableReason::Kind;
const auto none = std::nullopt;

PowerSupplyReading battery(const char* status, std::optional<std::int64_t> microamps,
                           std::optional<std::int64_t> microvolts,
                           std::optional<std::int64_t> microwatts = none) {
  PowerSupplyReading b;
  std::tie(b.name, b.path, b.status, b.currentNow, b.voltageNow, b.powerNow) =
      std::make_tuple("BAT", "/sys/class/power_supply/BAT", status, microamps, microvolts, microwatts);
  return b;
}

PowerSupplyReading external(PowerSupplyType type, std::int64_t online) {
  PowerSupplyReading s;
  std::tie(s.name, s.path, s.type, s.online) =
      std::make_tuple("AC", "/sys/class/power_supply/AC", type, online);
  return s;
}

std::optional<Kind> kind(const Measured& m) {
  return m.reason ? std::optional(m.reason->kind) : std::nullopt;
}

std::vector<const PowerSupplyReading*> pointers(const std::vector<PowerSupplyReading>& batteries) {
  std::vector<const PowerSupplyReading*> result;
  for (const auto& b : batteries) result.push_back(&b);
  return result;
}

// Units, sign and plausibility of each battery, and their sum. Drivers disagree on the current's sign: the
// status decides where it tells, and with no external supply online a battery can only discharge. Each
// battery's own current times its own voltage (or its own power) counts; the voltage of all of them is the
// mean weighted by the size of their currents; a sum missing one battery is no sum.
TEST(PowerSupplyRules, BatteriesCurrentVoltageAndPower) {
  struct Case {
    std::vector<PowerSupplyReading> batteries;
    std::optional<bool> external;
    std::optional<double> amps, volts, watts;
    std::optional<Kind> why;  // of the absent power
  };
  // Two batteries discharging, one of them with no current; one charging and giving its power instead.
  const PowerSupplyReading first = battery("Discharging", 700'000, 12'300'000),
                           second = battery("Discharging", 500'000, 11'900'000),
                           uncounted = battery("Discharging", none, 11'900'000),
                           byPower = battery("Charging", 1'050'000, none, 12'410'000),
                           other = battery("Discharging", 1'050'000, 11'400'000);
  for (const auto& [batteries, externalOnline, amps, volts, watts, why] : std::vector<Case>{
           {{battery("Charging", -2'000'000, 12'600'000)}, true, 2.0, 12.6, 2.0 * 12.6, none},
           {{battery("Not charging", 950'000, 12'000'000)}, false, -0.95, 12, -11.4, none},
           {{battery("Not charging", -500'000, 12'000'000)}, true, -0.5, 12, -6.0, none},
           {{battery("Unknown", 500'000, 12'000'000)}, true, 0.5, 12, 6.0, none},
           {{battery("Discharging", none, 11'400'000, 9'120'000)}, false, -0.8, 11.4, -9.12, none},
           {{battery("Discharging", 1'000'000, none)}, false, -1.0, none, none, Kind::notReported},
           {{battery("Discharging", 45'000'000, 12'000'000)}, false, none, 12, none, Kind::implausible},
           {{battery("Discharging", 1'000'000, 0)}, false, -1.0, none, none, Kind::implausible},
           {{first, second}, none, -1.2, 14.56 / 1.2, -14.56, none},
           {{byPower, other}, none, 0.0, (12.41 + 1.05 * 11.4) / 2.1, 0.44, none},
           {{first, uncounted}, none, none, 12.1, none, Kind::notReported},  // the voltages' plain mean
       }) {
    const BatteryPower power = batteriesPower(pointers(batteries), externalOnline);
    EXPECT_NEAR(power.amps.value.value_or(99), amps.value_or(99), 1e-9) << batteries[0].status.value();
    EXPECT_NEAR(power.volts.value.value_or(99), volts.value_or(99), 1e-9) << batteries[0].status.value();
    EXPECT_NEAR(power.watts.value.value_or(99), watts.value_or(99), 1e-9) << batteries[0].status.value();
    EXPECT_EQ(kind(power.watts), why) << batteries[0].status.value();
  }
}

// A battery counting charge in µAh beside one counting energy in µWh adds its charge at its own voltage.
TEST(PowerSupplyRules, PercentWeighsEnergy) {
  const auto with = [](std::optional<std::int64_t> capacity, std::optional<std::int64_t> energyNow,
                       std::optional<std::int64_t> energyFull, std::optional<std::int64_t> chargeNow,
                       std::optional<std::int64_t> chargeFull) {
    PowerSupplyReading b = battery("Discharging", 1'000'000, 11'400'000);
    std::tie(b.capacity, b.energyNow, b.energyFull, b.chargeNow, b.chargeFull) =
        std::make_tuple(capacity, energyNow, energyFull, chargeNow, chargeFull);
    return b;
  };
  struct Case {
    std::vector<PowerSupplyReading> batteries;
    std::optional<double> percent;
  };
  for (const auto& [batteries, expected] : std::vector<Case>{
           {{with(105, 40'000'000, 50'000'000, none, none)}, 100},  // one battery: its capacity
           {{with(none, none, none, 3'000'000, 4'000'000)}, 75},
           {{with(90, 21'000'000, 23'000'000, none, none), with(40, 9'000'000, 22'000'000, none, none)},
            30.0 / 45 * 100},
           {{with(80, 64'000'000, 80'000'000, none, none), with(25, none, none, 500'000, 2'000'000)},
            69.7 / 102.8 * 100},
           {{with(80, 64'000'000, 80'000'000, none, none), with(25, none, none, none, none)}, 52.5},
           {{with(80, 64'000'000, 80'000'000, none, none), with(none, none, none, none, none)}, none},
       }) {
    EXPECT_NEAR(percent(pointers(batteries)).value.value_or(-1), expected.value_or(-1), 1e-9)
        << batteries.size();
  }
}

// What flows in: a supply's measured power and current, its power from voltage and current when it gives no
// power (not a USB-C contract's current), the rating from its maxima.
TEST(PowerSupplyRules, InputFromTheOnlineSupply) {
  PowerSupplyReading mains = external(PowerSupplyType::mains, 2);
  std::tie(mains.powerNow, mains.voltageNow) = std::make_tuple(31'500'000, 19'800'000);
  const Input in = input({mains});
  EXPECT_EQ(std::make_tuple(in.watts.value, in.amps.value, in.ampsEstimated),
            std::make_tuple(31.5, 31.5 / 19.8, true));
  PowerSupplyReading usb = external(PowerSupplyType::usb, 1);
  std::tie(usb.voltageNow, usb.currentNow) = std::make_tuple(5'000'000, 1'500'000);
  EXPECT_EQ(std::make_tuple(input({usb}).watts.value, input({usb}).wattsEstimated),
            std::make_tuple(7.5, true));
  usb.name = "ucsi-source-psy-USBC000:001";
  usb.currentMax = 3'250'000;
  EXPECT_EQ(std::make_tuple(input({usb}).watts.value, ratedWatts(usb)), std::make_tuple(std::nullopt, 16.25));
  EXPECT_EQ(kind(input({external(PowerSupplyType::mains, 1)}).watts), Kind::notReported);
  EXPECT_EQ(kind(input({external(PowerSupplyType::mains, 0)}).watts), Kind::noDevice);
}

// The snapshot from whole scans (the fixture machines show the rest): what no supply tells is absent with its
// reason, never zero; a battery charging harder than the input gives a system of 0, not less.
TEST(PowerSupplyRules, SnapshotFromTheSupplies) {
  const Date at = dateFromSeconds(1.8e9);
  PowerSupplyReading mains = external(PowerSupplyType::mains, 1);
  PowerSnapshot s = PowerSnapshot::parse({"", {mains, battery("Charging", 1'000'000, 10'000'000)}, at}, at);
  EXPECT_EQ(std::make_tuple(s.unavailable.at("systemWatts").text(), s.batterySource, s.batteryUpdatedAt),
            std::make_tuple("needs: inputWatts (not reported: /sys/class/power_supply/AC/power_now)",
                            PowerDataSource::sensor, std::optional(at)));
  mains.powerNow = 5'000'000;
  s = PowerSnapshot::parse({"", {mains, battery("Charging", 1'000'000, 10'000'000)}, at}, at);
  EXPECT_EQ(std::make_tuple(s.systemWatts, s.systemEstimated), std::make_tuple(0.0, true));
}

}  // namespace
}  // namespace wattline
