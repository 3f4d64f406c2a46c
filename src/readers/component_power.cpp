// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/component_power.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/counter_interval.h"

namespace wattline {

namespace ComponentPower {

namespace {

using Kind = UnavailableReason::Kind;

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

Measured sum(const Measured& a, const Measured& b) {
  if (!a.value) return a;
  if (!b.value) return b;
  return {*a.value + *b.value, std::nullopt};
}

}  // namespace

Measured counterWatts(const EnergyCounterReading* earlier, const EnergyCounterReading& later) {
  if (later.problem) return {std::nullopt, later.problem};
  if (!earlier || (!later.asleep && later.microjoules && !earlier->microjoules && !earlier->asleep))
    return Measured::absent(Kind::firstSample, later.path);
  const double seconds = later.uptime - earlier->uptime;
  const double wallSeconds = secondsBetween(earlier->readAt, later.readAt);
  if (!usableInterval(seconds, wallSeconds)) {
    if (!(seconds >= kMinimumInterval))
      return Measured::absent(Kind::intervalTooShort, format("%.3f s", seconds));
    if (seconds > kMaximumInterval) return Measured::absent(Kind::intervalTooLong, format("%.0f s", seconds));
    return Measured::absent(Kind::clocksDisagree,
                            format("monotonic %.1f s, wall %.1f s", seconds, wallSeconds));
  }
  // A device asleep at either end of the interval was not read there, and drew next to nothing.
  if (earlier->asleep || later.asleep) return {0.0, std::nullopt};
  double watts = 0;
  if (later.microwatts) {
    watts = static_cast<double>(*later.microwatts) / 1e6;
  } else {
    const auto delta = energyDelta(*earlier->microjoules, *later.microjoules, later.maxRange);
    if (!delta) return Measured::absent(Kind::counterReset, later.path);
    if (*delta == 0 && later.domain == EnergyDomain::platform)
      return Measured::absent(Kind::counterStill, later.path);
    watts = static_cast<double>(*delta) / 1e6 / seconds;
  }
  if (!(watts <= kMaximumWatts))
    return Measured::absent(Kind::implausible, format("%.0f W", watts) + " from " + later.path);
  return {watts, std::nullopt};
}

ComponentPowerReading combine(const EnergyCounterScan& scan, const std::vector<Measured>& watts) {
  ComponentPowerReading reading;
  reading.cpuWatts = Measured::absent(Kind::noDevice, "no RAPL package domain in " + scan.directory);
  reading.platformWatts = Measured::absent(Kind::noDevice, "no RAPL psys domain in " + scan.directory);
  bool packages = false, platform = false;
  for (std::size_t i = 0; i < scan.counters.size(); ++i) {
    if (scan.counters[i].domain == EnergyDomain::package) {
      reading.cpuWatts = packages ? sum(reading.cpuWatts, watts[i]) : watts[i];
      packages = true;
    } else if (scan.counters[i].domain == EnergyDomain::platform && !platform) {
      reading.platformWatts = watts[i];
      platform = true;
    }
  }

  std::optional<Measured> gpu;
  for (std::size_t i = 0; i < scan.counters.size(); ++i) {
    const EnergyDomain domain = scan.counters[i].domain;
    if (domain == EnergyDomain::package || domain == EnergyDomain::platform) continue;
    Measured part = watts[i];
    if ((domain == EnergyDomain::socGraphics || domain == EnergyDomain::undeterminedGraphics) && part.value) {
      if (!reading.cpuWatts.value) {
        part = Measured::absent(Kind::needs,
                                "cpuWatts of the same interval (" + reading.cpuWatts.reason->text() + ")");
      } else if (domain == EnergyDomain::socGraphics || *part.value > *reading.cpuWatts.value) {
        part.value = std::max(*part.value - *reading.cpuWatts.value, 0.0);
        reading.gpuEstimated = true;
      }
    }
    gpu = gpu ? sum(*gpu, part) : part;
  }
  reading.gpuWatts =
      gpu ? *gpu : Measured::absent(Kind::noDevice, "no graphics energy counter or power meter");
  if (!reading.gpuWatts.value) reading.gpuEstimated = false;
  return reading;
}

}  // namespace ComponentPower

ComponentPowerReading ComponentPowerReader::read(const EnergyCounterScan& scan) {
  std::vector<Measured> watts;
  watts.reserve(scan.counters.size());
  std::optional<double> duration;
  std::optional<Date> sampledAt;
  std::map<std::string, Previous, std::less<>> next;
  for (const auto& counter : scan.counters) {
    const auto before = previous_.find(counter.path);
    Previous current{counter, {}, 0};
    if (before != previous_.end() && !counter.problem && counter.uptime == before->second.reading.uptime &&
        counter.microjoules == before->second.reading.microjoules) {
      current = before->second;
    } else {
      const EnergyCounterReading* earlier = before == previous_.end() ? nullptr : &before->second.reading;
      current.watts = ComponentPower::counterWatts(earlier, counter);
      if (current.watts.value) current.duration = counter.uptime - earlier->uptime;
    }
    watts.push_back(current.watts);
    if (current.watts.value && !duration) {
      duration = current.duration;
      sampledAt = current.reading.readAt;
    }
    next.insert_or_assign(counter.path, std::move(current));
  }
  previous_ = std::move(next);

  ComponentPowerReading reading = ComponentPower::combine(scan, watts);
  if (reading.cpuWatts.value || reading.gpuWatts.value) {
    reading.sampledAt = sampledAt;
    reading.duration = duration;
  }
  return reading;
}

}  // namespace wattline
