// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wattline {

// One live process at one pass over the process table.
struct ProcessUsage {
  std::int32_t pid = 0;
  // With `pid` it identifies a process incarnation.
  std::uint64_t startTime = 0;
  // Cumulative energy of this incarnation.
  std::uint64_t energyNanojoules = 0;
  // Cumulative CPU time of this incarnation, user and system.
  double cpuSeconds = 0;
};

// The operating system's process table with per-process energy.
class ProcessTable {
 public:
  virtual ~ProcessTable() = default;
  // Every process that could be read, in enumeration order; nothing when the
  // process list or the system's energy counter cannot be read.
  virtual std::optional<std::vector<ProcessUsage>> sample() = 0;
  // The package energy the passes so far have shared out, the part billed to no process included, up to the
  // last successful pass; nothing where the table has no package counter.
  virtual std::optional<std::uint64_t> packageEnergyNanojoules() { return std::nullopt; }
  // Absolute path of the process's executable, empty when it cannot be read.
  virtual std::string executablePath(std::int32_t pid) = 0;
  // The kernel's short process name, empty when it cannot be read.
  virtual std::string shortName(std::int32_t pid) = 0;
  // Id of the desktop application whose own program the process runs; nothing for any other process,
  // those the application started included.
  virtual std::optional<std::string> applicationID(std::int32_t pid) = 0;
  // Display name of an application bundle directory, nothing when the bundle names none.
  virtual std::optional<std::string> bundleDisplayName(const std::string& appPath) = 0;
  // Display name of a desktop application, nothing when no entry names it.
  virtual std::optional<std::string> applicationName(const std::string& applicationID) = 0;
};

}  // namespace wattline
