// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/identity.h"
#include "platform/linux/desktop_application.h"
#include "platform/linux/energy_attribution.h"
#include "platform/linux/rapl_package_energy.h"
#include "platform/process_table.h"

namespace wattline {

// What the process table needs of one /proc/<pid>/stat line.
struct ProcStat {
  // Field 22, clock ticks after boot.
  std::uint64_t startTime = 0;
  // utime + stime (fields 14 and 15), clock ticks.
  std::uint64_t cpuTicks = 0;
};

// Nothing when the line is not a stat line. The command name in parentheses may
// itself hold spaces and parentheses, so the fields are counted from the last ")".
std::optional<ProcStat> parseProcStat(std::string_view line);
// Busy and total ticks of all CPUs since boot from the "cpu" line of /proc/stat.
std::optional<CpuTicks> parseCpuTicks(std::string_view stat);

// The process table below a /proc tree. The kernel keeps no per-process energy,
// so the package energy used between two passes is split: its idle floor goes
// to no one, the rest among the processes in proportion to the CPU time each
// used in between, added to each incarnation's cumulative energy (as a kernel
// counter bills a process only for what it used while it ran). The floor needs
// the package's lowest power of the last minutes, which this table keeps while
// it lives. A process seen for the first time starts from its CPU time so far at
// a nominal 1 W per busy CPU; only differences between passes are ever shown,
// so that seed never reaches the user.
class ProcProcessTable : public ProcessTable {
 public:
  // `packages`: the package energy counters, reading the clock this table holds.
  ProcProcessTable(std::string procRoot, std::unique_ptr<EnergyCounterSource> packages,
                   DesktopApplications applications, std::shared_ptr<const Clock> clock);

  std::optional<std::vector<ProcessUsage>> sample() override;
  std::optional<std::uint64_t> packageEnergyNanojoules() override { return packageTotal_; }
  std::string executablePath(std::int32_t pid) override;
  std::string shortName(std::int32_t pid) override;
  std::optional<std::string> applicationID(std::int32_t pid) override;
  // Linux bundles carry no display-name metadata that is read here; the bundle's directory name serves.
  std::optional<std::string> bundleDisplayName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> applicationName(const std::string& applicationID) override;

 private:
  struct Attribution {
    std::uint64_t startTime;
    std::uint64_t cpuTicks;
    std::uint64_t energyNanojoules;
  };

  std::string processFile(std::int32_t pid, const char* name) const;
  // CPU ticks from /proc/stat since the previous call (none on the first); nothing when unreadable.
  std::optional<CpuTicks> cpuTicksSinceLastRead();

  std::string procRoot_;
  DesktopApplications applications_;
  std::shared_ptr<const Clock> clock_;  // before the counters that read it
  RaplPackageEnergy package_;
  double ticksPerSecond_;
  std::unordered_map<std::int32_t, Attribution> attributions_;
  std::optional<CpuTicks> cpuTicks_;
  PackagePowerFloor floor_;
  std::optional<std::uint64_t> packageTotal_;
};

}  // namespace wattline
