// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_record.h"

#include <cmath>

namespace wattline {

namespace {

// A value counts only when its group was updated within the window before the
// snapshot (ages in seconds, snapshot time minus update time).
std::optional<double> fresh(std::optional<double> value, std::optional<Date> updatedAt, Date timestamp,
                            double minimumAge, double maximumAge, bool allowNegative) {
  if (!value || !updatedAt || !std::isfinite(*value)) return std::nullopt;
  if (!allowNegative && *value < 0) return std::nullopt;
  const double age = secondsBetween(*updatedAt, timestamp);
  if (age < minimumAge || age > maximumAge) return std::nullopt;
  return value;
}

}  // namespace

HistoryRecord::HistoryRecord(const PowerSnapshot& snapshot)
    : second(unixSecond(snapshot.timestamp)),
      observed(secondsSince1970(snapshot.timestamp)),
      external(snapshot.externalConnected),
      flow(rawValue(snapshot.flow())),
      estimated(snapshot.systemEstimated),
      source(rawValue(snapshot.systemSource)) {
  const Date at = snapshot.timestamp;
  if (snapshot.available) watts = fresh(snapshot.systemWatts, snapshot.systemUpdatedAt, at, 0, 2, false);
  // Component energy is sampled on its own schedule and may finish a moment
  // after the snapshot was stamped.
  cpu = fresh(snapshot.cpuWatts, snapshot.componentsUpdatedAt, at, -0.25, 2, false);
  gpu = fresh(snapshot.gpuWatts, snapshot.componentsUpdatedAt, at, -0.25, 2, false);
  display = fresh(snapshot.displayWatts, snapshot.displayUpdatedAt, at, 0, 2, false);
  input = fresh(snapshot.inputWatts, snapshot.inputUpdatedAt, at, 0, 2, false);
  battery = fresh(snapshot.batteryWatts, snapshot.batteryUpdatedAt, at, 0, 2, true);
  if (snapshot.systemUpdatedAt) sensorTime = secondsSince1970(*snapshot.systemUpdatedAt);
}

}  // namespace wattline
