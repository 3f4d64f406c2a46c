// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/date.h"

namespace wattline {

// One process incarnation's cumulative energy at one read.
struct ProcessEnergyCounter {
  std::int32_t pid = 0;
  // With `pid` it identifies a process incarnation.
  std::uint64_t startTime = 0;
  std::uint64_t energyNanojoules = 0;
  // Application group key: "app:<bundle>", "desktop:<application id>", "exec:<path>" or "pid:<pid>:<start>".
  std::string groupID;
  std::string name;
  // System uptime in seconds right after this process was read.
  std::optional<double> sampledUptime;
  // Cumulative CPU time of this incarnation.
  double cpuSeconds = 0;
};

// One pass over all processes.
struct ProcessEnergyBatch {
  Date timestamp;
  // System uptime in seconds at the end of the batch.
  double uptime = 0;
  bool available = false;
  // In enumeration order.
  std::vector<ProcessEnergyCounter> counters;
  // The table's cumulative package energy after this pass; absent without a package counter.
  std::optional<std::uint64_t> packageNanojoules = std::nullopt;
};

// One application group's average power over the interval between two batches.
struct ProcessPowerRow {
  std::string id;
  std::string name;
  double watts = 0;
  int processCount = 0;

  bool operator==(const ProcessPowerRow&) const = default;
};

struct ProcessPowerSnapshot {
  enum class Phase {
    idle,         // nothing measured yet
    sampling,     // a baseline is being collected
    ready,        // rows are valid
    unavailable,  // the system gave no energy data
  };

  Phase phase = Phase::idle;
  std::vector<ProcessPowerRow> rows;
  std::optional<Date> updatedAt;

  // True when `updatedAt` lies between 1 s after and 6 s before `date` (both inclusive).
  bool isFresh(Date date) const;

  // Demonstration rows for previews, stamped `now`.
  static ProcessPowerSnapshot preview(Date now);

  // Keys "phase", "rows" and "updatedAt" (left out when absent; whole seconds, ISO 8601 UTC).
  nlohmann::json toJSON() const;
  // Nothing when a required key is missing or a value has the wrong type.
  static std::optional<ProcessPowerSnapshot> fromJSON(const nlohmann::json& json);

  bool operator==(const ProcessPowerSnapshot&) const = default;
};

std::string_view rawValue(ProcessPowerSnapshot::Phase phase);
std::optional<ProcessPowerSnapshot::Phase> parseProcessPowerPhase(std::string_view text);

}  // namespace wattline
