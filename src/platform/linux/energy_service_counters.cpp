// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/energy_service_counters.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace wattline {

namespace {

// The powercap zone of a RAPL counter that could not be read, "intel-rapl:0"; empty for any other reading.
std::string closedZone(const EnergyCounterReading& counter) {
  using Kind = UnavailableReason::Kind;
  if (!counter.problem ||
      (counter.problem->kind != Kind::permissionDenied && counter.problem->kind != Kind::unreadable))
    return {};
  constexpr std::string_view kClass = "/class/powercap/", kFile = "/energy_uj";
  const std::string_view path = counter.path;
  const auto start = path.rfind(kClass);
  if (start == std::string_view::npos || !path.ends_with(kFile)) return {};
  const auto zone = path.substr(start + kClass.size(), path.size() - kFile.size() - start - kClass.size());
  return zone.find('/') == std::string_view::npos ? std::string(zone) : std::string();
}

}  // namespace

EnergyCounterScan EnergyServiceCounters::read() {
  EnergyCounterScan scan = direct_->read();
  std::optional<ServiceAnswer> answer;
  for (auto& counter : scan.counters) {
    const std::string zone = closedZone(counter);
    if (zone.empty()) continue;
    if (!answer) answer = service_->read();
    if (!answer->reading) {
      counter.problem->detail += "; energy service: " + answer->problem;
      continue;
    }
    const auto& served = answer->reading->counters;
    const auto found =
        std::find_if(served.begin(), served.end(), [&](const ServiceCounter& c) { return c.zone == zone; });
    if (found == served.end()) {
      counter.problem->detail += "; energy service: no reading of " + zone;
      continue;
    }
    counter.microjoules = found->microjoules;
    if (!counter.maxRange) counter.maxRange = found->maxRange;
    counter.problem.reset();
    // The service's monotonic read time, and the wall time of that moment.
    counter.uptime = static_cast<double>(answer->reading->readAtNanoseconds) / 1e9;
    double age = clock_.uptime() - counter.uptime;
    age = std::isfinite(age) ? std::clamp(age, -1e6, 1e6) : 0.0;
    counter.readAt =
        clock_.now() - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(age));
  }
  return scan;
}

}  // namespace wattline
