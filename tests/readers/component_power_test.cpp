// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/component_power.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

using namespace ComponentPower;
using Kind = UnavailableReason::Kind;
const Date kStart = dateFromSeconds(1.8e9);

EnergyCounterReading counter(EnergyDomain domain, std::optional<std::int64_t> microjoules, double uptime,
                             double wall) {
  EnergyCounterReading r;
  std::tie(r.domain, r.path, r.microjoules, r.maxRange, r.uptime) = std::make_tuple(
      domain, "/sys/class/powercap/intel-rapl:0/energy_uj", microjoules, 262'143'328'850, uptime);
  r.readAt = kStart + std::chrono::milliseconds(static_cast<long>(wall * 1000));
  return r;
}

std::optional<Kind> kind(const Measured& m) {
  return m.reason ? std::optional(m.reason->kind) : std::nullopt;
}

// The monotonic clock gives the interval, which must agree with the wall clock (no sleep in between) and be
// neither too short nor too long; a counter wraps at its range; a platform counter that stands still is not
// counting; a suspended device drew nothing; a meter's average power needs no earlier value.
TEST(ComponentPower, OneCounterOverOneInterval) {
  using enum EnergyDomain;
  struct Case {
    EnergyDomain domain;
    std::int64_t earlier, later;  // µJ, the earlier read at monotonic 0 s and wall 0 s
    double seconds, wallSeconds;
    std::optional<double> watts;
    std::optional<Kind> why;
  };
  for (const auto& [domain, earlier, later, seconds, wallSeconds, watts, why] : std::vector<Case>{
           {package, 5'000'000'000, 5'012'000'000, 1, 1, 12.0, {}},
           {package, 262'143'000'000, 671'150, 1, 1, 1.0, {}},
           {package, 5'000'000'000, 5'000'000'000, 1, 1, 0.0, {}},
           {platform, 9'000'000'000, 9'000'000'000, 1, 1, {}, Kind::counterStill},
           {platform, 9'000'000'000, 1'000'000, 1, 300, {}, Kind::clocksDisagree},
           {platform, 9'000'000'000, 9'001'000'000, 0.05, 0.05, {}, Kind::intervalTooShort},
           {platform, 9'000'000'000, 9'001'000'000, 311, 311, {}, Kind::intervalTooLong},
           {package, 300'000'000'000, 4'000'000, 1, 1, {}, Kind::counterReset},
           {package, 0, 2'000'000'000, 1, 1, {}, Kind::implausible},
       }) {
    const auto first = counter(domain, earlier, 1000, 0);
    const Measured m = counterWatts(&first, counter(domain, later, 1000 + seconds, wallSeconds));
    EXPECT_NEAR(m.value.value_or(-1), watts.value_or(-1), 1e-9) << later;
    EXPECT_EQ(kind(m), why) << later;
  }
  const auto before = counter(package, 5, 1000, 0);
  EnergyCounterReading later = counter(discreteGraphics, std::nullopt, 1001, 1);
  later.asleep = true;
  EXPECT_EQ(counterWatts(&before, later).value, 0.0);
  later.asleep = false;
  later.microwatts = 11'000'000;
  EXPECT_EQ(counterWatts(&before, later).value, 11.0);
  later.problem = UnavailableReason{Kind::permissionDenied, later.path};
  EXPECT_EQ(kind(counterWatts(&before, later)), Kind::permissionDenied);
  EXPECT_EQ(kind(counterWatts(nullptr, before)), Kind::firstSample);
}

// Read again at the very same moment (a service answering from its last read), a counter has nothing new:
// the last interval's power stands rather than an interval of no length.
TEST(ComponentPower, ARepeatedReadingKeepsItsInterval) {
  ComponentPowerReader reader;
  const auto scan = [](std::int64_t microjoules, double uptime) {
    return EnergyCounterScan{"/sys/class/powercap",
                             {counter(EnergyDomain::package, microjoules, uptime, uptime)}};
  };
  reader.read(scan(5'000'000'000, 1000));
  for (const auto& [microjoules, uptime, watts, duration] :
       std::vector<std::tuple<std::int64_t, double, double, double>>{{5'012'000'000, 1001, 12.0, 1.0},
                                                                     {5'012'000'000, 1001, 12.0, 1.0},
                                                                     {5'018'000'000, 1003, 3.0, 2.0}}) {
    const auto r = reader.read(scan(microjoules, uptime));
    EXPECT_EQ(std::make_tuple(r.cpuWatts.value, r.duration), std::make_tuple(watts, duration)) << uptime;
  }
}

// An APU's reading is the whole chip's: its graphics are that less the processor package of the same
// interval, estimated and never below zero. A reading that cannot be told apart counts as the chip's when
// it lies above the package's power. The graphics share of the package and the cards add up.
TEST(ComponentPower, GraphicsFromTheirParts) {
  using enum EnergyDomain;
  struct Case {
    std::vector<std::pair<EnergyDomain, Measured>> parts;
    std::optional<double> cpu, gpu;
    bool estimated;
  };
  const Measured noPackage = Measured::absent(Kind::permissionDenied, "energy_uj");
  const auto w = [](double watts) { return Measured{watts, std::nullopt}; };
  for (const auto& [parts, cpu, gpu, estimated] : std::vector<Case>{
           {{{package, w(7.5)}, {socGraphics, w(6.0)}}, 7.5, 0.0, true},
           {{{package, w(7.5)}, {undeterminedGraphics, w(11.0)}}, 7.5, 3.5, true},
           {{{package, w(7.5)}, {undeterminedGraphics, w(4.2)}}, 7.5, 4.2, false},
           {{{package, noPackage}, {socGraphics, w(11.0)}}, {}, {}, false},
           {{{package, w(4.0)}, {package, w(3.0)}, {platform, w(21.0)}}, 7.0, {}, false},
           {{{package, w(7.0)}, {integratedGraphics, w(0.5)}, {discreteGraphics, w(1.0)}}, 7.0, 1.5, false},
       }) {
    EnergyCounterScan scan{"/sys/class/powercap", {}};
    std::vector<Measured> watts;
    for (const auto& [domain, part] : parts) {
      scan.counters.push_back(counter(domain, 0, 0, 0));
      watts.push_back(part);
    }
    const ComponentPowerReading r = combine(scan, watts);
    EXPECT_EQ(std::make_tuple(r.cpuWatts.value, r.gpuWatts.value, r.gpuEstimated),
              std::make_tuple(cpu, gpu, estimated))
        << parts.size() << " " << gpu.value_or(-1);
  }
}

}  // namespace
}  // namespace wattline
