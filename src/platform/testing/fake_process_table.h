// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_table.h"

namespace wattline::testing {

// A process table that answers what the test put in it and counts the lookups.
class FakeProcessTable : public ProcessTable {
 public:
  struct Process {
    std::int32_t pid = 0;
    std::uint64_t startTime = 0;
    std::uint64_t energyNanojoules = 0;
    std::string path;
    std::string shortName;
    std::optional<std::string> applicationID;
    double cpuSeconds = 0;
  };

  // Nothing makes the next samples fail as a missing energy counter does.
  std::optional<std::vector<Process>> processes = std::vector<Process>{};
  std::optional<std::uint64_t> packageNanojoules;
  std::map<std::string, std::string> bundleNames;
  std::map<std::string, std::string> applicationNames;

  int pathLookups = 0;
  int bundleLookups = 0;

  // The process with `pid`; it must exist.
  Process& process(std::int32_t pid);

  std::optional<std::vector<ProcessUsage>> sample() override;
  std::optional<std::uint64_t> packageEnergyNanojoules() override { return packageNanojoules; }
  std::string executablePath(std::int32_t pid) override;
  std::string shortName(std::int32_t pid) override;
  std::optional<std::string> applicationID(std::int32_t pid) override;
  std::optional<std::string> bundleDisplayName(const std::string& appPath) override;
  std::optional<std::string> applicationName(const std::string& applicationID) override;

 private:
  const Process* find(std::int32_t pid) const;
};

}  // namespace wattline::testing
