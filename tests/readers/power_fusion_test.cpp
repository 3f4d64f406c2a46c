// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/power_fusion.h"

#include <gtest/gtest.h>

#include <tuple>

namespace wattline {
namespace {

using Kind = UnavailableReason::Kind;
const Date kReadAt = dateFromSeconds(1.8e9 - 0.1);
const Date kAt = dateFromSeconds(1.8e9);

// The supplies' part of a sample: a battery giving (negative) or taking `battery` W and, on the adapter,
// `input` W flowing in when its supply measures it.
PowerSnapshot supplies(double battery, std::optional<bool> external,
                       std::optional<double> input = std::nullopt) {
  PowerSnapshot s;
  s.available = s.batteryInstalled = true;
  s.externalConnected = external.value_or(false);
  if (!external) s.unavailable.emplace("externalConnected", UnavailableReason{Kind::malformed, "online"});
  s.batteryWatts = battery;
  s.inputWatts = external == false ? std::optional(0.0) : input;
  if (s.inputWatts) {
    s.systemWatts = std::max(*s.inputWatts - battery, 0.0);
    s.systemEstimated = true;
  } else {
    s.unavailable.emplace("systemWatts", UnavailableReason{Kind::needs, "inputWatts"});
  }
  return s;
}

ComponentPowerReading components(std::optional<double> cpu, std::optional<double> gpu, Measured platform) {
  ComponentPowerReading c;
  const auto measured = [](std::optional<double> w) {
    return w ? Measured{w, std::nullopt} : Measured::absent(Kind::noDevice, "none");
  };
  std::tie(c.cpuWatts, c.gpuWatts, c.platformWatts) = std::make_tuple(measured(cpu), measured(gpu), platform);
  return c;
}

// The platform counter gives the whole-system power unless it contradicts another measurement: on battery
// alone the discharge (by more than 10 % and 0.5 W), on the adapter the processor package of the same
// interval. Then, or without a platform value, the supplies' own figure stands; where there is none, the
// headline is absent with the platform's trouble as its reason.
TEST(PowerFusion, SystemFromThePlatformUnlessContradicted) {
  struct Case {
    PowerSnapshot from;
    std::optional<double> cpu;
    Measured platform;
    std::optional<double> system;
    bool estimated;
    std::optional<Kind> why;
  };
  const Measured still = Measured::absent(Kind::counterStill, "intel-rapl:1/energy_uj");
  for (const auto& [from, cpu, platform, system, estimated, why] : std::vector<Case>{
           {supplies(-18, false), 12, {16.3, {}}, 16.3, false, {}},  // within 10 %
           {supplies(-18, false), 12, {15, {}}, 18, true, {}},
           {supplies(-18, false), 12, {21, {}}, 21, false, {}},  // above: the battery need not carry it all
           {supplies(-3, false), 1, {2.6, {}}, 2.6, false, {}},  // beyond 10 % but within 0.5 W
           {supplies(-18, false), 12, still, 18, true, {}},
           {supplies(+5, true), 7.5, {0.8, {}}, {}, false, Kind::implausible},  // below the package
           {supplies(+5, true), 7.5, {7.5, {}}, 7.5, false, {}},
           {supplies(+5, true), 7.5, still, {}, false, Kind::counterStill},
           {supplies(+5, true), 7.5, Measured::absent(Kind::noDevice, "psys"), {}, false, Kind::needs},
           {supplies(-18, std::nullopt), 12, {0.5, {}}, 0.5, false, {}},  // unknown source: no contradiction
       }) {
    const PowerSnapshot fused =
        PowerFusion::merge(from, components(cpu, std::nullopt, platform), std::nullopt, kAt);
    EXPECT_NEAR(fused.systemWatts.value_or(-1), system.value_or(-1), 1e-9) << platform.value.value_or(-1);
    const auto reason = fused.unavailable.find("systemWatts");
    EXPECT_EQ(std::make_tuple(fused.systemEstimated, reason == fused.unavailable.end()
                                                         ? std::nullopt
                                                         : std::optional(reason->second.kind)),
              std::make_tuple(estimated, why))
        << platform.value.value_or(-1);
  }
}

// CPU and GPU together never exceed the whole system beyond the readings' spread (the GPU goes); the first
// two fans with a plausible speed keep their position, and details are dated only when there are some.
TEST(PowerFusion, ComponentsAndDetails) {
  const auto gpu = [](double watts) {
    const auto s = PowerFusion::merge(supplies(-16.1, false), components(7.5, watts, {}), std::nullopt, kAt);
    return std::make_tuple(s.gpuWatts, s.unavailable.contains("gpuWatts"));
  };
  EXPECT_EQ(gpu(11.0), std::make_tuple(std::optional<double>(), true));
  EXPECT_EQ(gpu(9.5), std::make_tuple(std::optional(9.5), false));
  EXPECT_EQ(PowerFusion::fanSpeeds({{"a", 2400}, {"b", {}}, {"c", 1800}}),
            (std::vector<FanSpeed>{{0, 2400}}));
  EXPECT_EQ(PowerFusion::fanSpeeds({{"a", 25000}, {"b", 0}}), (std::vector<FanSpeed>{{1, 0}}));
  const auto dated = [](std::optional<std::vector<FanSpeed>> speeds) {
    return PowerFusion::merge(supplies(-5, false), components({}, {}, {}), speeds, kAt)
        .detailSensorsUpdatedAt;
  };
  EXPECT_EQ(std::make_tuple(dated(std::vector<FanSpeed>{{1, 2000}}), dated(std::nullopt)),
            std::make_tuple(std::optional(kAt), std::optional<Date>()));
}

}  // namespace
}  // namespace wattline
