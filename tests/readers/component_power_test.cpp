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
  r.domain = domain;
  r.path = "/sys/class/powercap/intel-rapl:0/energy_uj";
  r.microjoules = microjoules;
  r.maxRange = 262'143'328'850;
  r.uptime = uptime;
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
    EnergyCounterReading earlier, later;
    std::optional<double> watts;
    std::optional<Kind> why;
  };
  EnergyCounterReading asleep = counter(discreteGraphics, std::nullopt, 1001, 1);
  asleep.asleep = true;
  EnergyCounterReading meter = counter(socGraphics, std::nullopt, 1001, 1);
  meter.microwatts = 11'000'000;
  EnergyCounterReading unreadable = counter(package, std::nullopt, 1001, 1);
  unreadable.problem = UnavailableReason{Kind::permissionDenied, unreadable.path};
  for (const auto& [earlier, later, watts, why] : std::vector<Case>{
           {counter(package, 5'000'000'000, 1000, 0), counter(package, 5'012'000'000, 1001, 1), 12.0,
            std::nullopt},
           {counter(package, 262'143'000'000, 1000, 0), counter(package, 671'150, 1001, 1), 1.0,
            std::nullopt},
           {counter(package, 5'000'000'000, 1000, 0), counter(package, 5'000'000'000, 1001, 1), 0.0,
            std::nullopt},
           {counter(platform, 9'000'000'000, 1000, 0),
            counter(platform, 9'000'000'000, 1001, 1),
            {},
            Kind::counterStill},
           {counter(platform, 9'000'000'000, 1000, 0),
            counter(platform, 1'000'000, 1001, 300),
            {},
            Kind::clocksDisagree},
           {counter(platform, 9'000'000'000, 1000, 0),
            counter(platform, 9'001'000'000, 1000.05, 0.05),
            {},
            Kind::intervalTooShort},
           {counter(platform, 9'000'000'000, 1000, 0),
            counter(platform, 9'001'000'000, 1311, 311),
            {},
            Kind::intervalTooLong},
           {counter(package, 300'000'000'000, 1000, 0),
            counter(package, 4'000'000, 1001, 1),
            {},
            Kind::counterReset},
           {counter(package, 0, 1000, 0), counter(package, 2'000'000'000, 1001, 1), {}, Kind::implausible},
           {counter(discreteGraphics, 5, 1000, 0), asleep, 0.0, std::nullopt},
           {counter(socGraphics, std::nullopt, 1000, 0), meter, 11.0, std::nullopt},
           {counter(package, 5, 1000, 0), unreadable, {}, Kind::permissionDenied},
       }) {
    const Measured m = counterWatts(&earlier, later);
    EXPECT_NEAR(m.value.value_or(-1), watts.value_or(-1), 1e-9) << later.uptime;
    EXPECT_EQ(kind(m), why) << later.uptime;
  }
  EXPECT_EQ(kind(counterWatts(nullptr, counter(package, 5, 1000, 0))), Kind::firstSample);
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
  for (const auto& [parts, cpu, gpu, estimated] : std::vector<Case>{
           {{{package, {7.5, {}}}, {socGraphics, {11.0, {}}}}, 7.5, 3.5, true},
           {{{package, {7.5, {}}}, {socGraphics, {6.0, {}}}}, 7.5, 0.0, true},
           {{{package, {7.5, {}}}, {undeterminedGraphics, {11.0, {}}}}, 7.5, 3.5, true},
           {{{package, {7.5, {}}}, {undeterminedGraphics, {4.2, {}}}}, 7.5, 4.2, false},
           {{{package, noPackage}, {socGraphics, {11.0, {}}}}, {}, {}, false},
           {{{package, {4.0, {}}},
             {package, {3.0, {}}},
             {integratedGraphics, {0.5, {}}},
             {discreteGraphics, {1.0, {}}},
             {platform, {21.0, {}}}},
            7.0,
            1.5,
            false},
           {{{platform, {21.0, {}}}}, {}, {}, false},
       }) {
    EnergyCounterScan scan{"/sys/class/powercap", {}};
    std::vector<Measured> watts;
    for (const auto& [domain, w] : parts) {
      scan.counters.push_back(counter(domain, 0, 0, 0));
      watts.push_back(w);
    }
    const ComponentPowerReading r = combine(scan, watts);
    EXPECT_EQ(std::make_tuple(r.cpuWatts.value, r.gpuWatts.value, r.gpuEstimated),
              std::make_tuple(cpu, gpu, estimated))
        << parts.size() << " " << gpu.value_or(-1);
  }
}

// Each read averages since the previous read of the same counter; the first has nothing to average.
TEST(ComponentPower, ReaderKeepsThePreviousReadings) {
  ComponentPowerReader reader;
  const auto scan = [](std::int64_t package, std::int64_t psys, double uptime) {
    return EnergyCounterScan{"/sys/class/powercap",
                             {counter(EnergyDomain::package, package, uptime, uptime - 1000),
                              counter(EnergyDomain::platform, psys, uptime, uptime - 1000)}};
  };
  auto first = scan(5'000'000'000, 9'000'000'000, 1000);
  first.counters[1].path = "/sys/class/powercap/intel-rapl:1/energy_uj";
  ComponentPowerReading r = reader.read(first);
  EXPECT_EQ(std::make_tuple(kind(r.cpuWatts), r.sampledAt, r.duration),
            std::make_tuple(Kind::firstSample, std::nullopt, std::nullopt));
  auto second = scan(5'012'000'000, 9'021'000'000, 1002);
  second.counters[1].path = first.counters[1].path;
  r = reader.read(second);
  EXPECT_EQ(std::make_tuple(r.cpuWatts.value, r.platformWatts.value, r.duration, r.sampledAt),
            std::make_tuple(6.0, 10.5, 2.0, second.counters[0].readAt));
}

}  // namespace
}  // namespace wattline
