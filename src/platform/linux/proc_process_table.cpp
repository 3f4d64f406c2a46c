// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/proc_process_table.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "base/counter_interval.h"
#include "platform/linux/desktop_application.h"
#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

// Reads up to `limit` bytes; false when the file cannot be opened or read.
bool readFile(const std::string& path, std::string& contents, std::size_t limit) {
  sysfs::TextRead read = sysfs::readFile(path, limit);
  if (read.status != sysfs::ReadStatus::ok) return false;
  contents = std::move(read.text);
  return true;
}

std::optional<std::uint64_t> number(std::string_view text) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> pidName(std::string_view name) {
  if (name.empty() || name.size() > 10 || name[0] == '0') return std::nullopt;
  std::int32_t pid = 0;
  auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || end != name.data() + name.size() || pid < 1) return std::nullopt;
  return pid;
}

}  // namespace

std::optional<ProcStat> parseProcStat(std::string_view line) {
  auto open = line.find('(');
  auto close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
  // Field 3 (the state) is the first after the command name.
  std::string_view rest = line.substr(close + 1);
  std::uint64_t utime = 0, stime = 0, start = 0;
  int field = 2;
  bool haveUtime = false, haveStime = false, haveStart = false;
  while (!rest.empty() && !haveStart) {
    auto first = rest.find_first_not_of(" \n");
    if (first == std::string_view::npos) break;
    rest = rest.substr(first);
    auto end = rest.find_first_of(" \n");
    std::string_view token = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    ++field;
    if (field == 14 || field == 15 || field == 22) {
      auto value = number(token);
      if (!value) return std::nullopt;
      if (field == 14) utime = *value, haveUtime = true;
      if (field == 15) stime = *value, haveStime = true;
      if (field == 22) start = *value, haveStart = true;
    }
  }
  if (!haveUtime || !haveStime || !haveStart) return std::nullopt;
  return ProcStat{start, utime + stime};
}

ProcProcessTable::ProcProcessTable(std::string procRoot, std::unique_ptr<EnergyCounterSource> packages,
                                   DesktopApplications applications, std::shared_ptr<const Clock> clock)
    : procRoot_(std::move(procRoot)),
      applications_(std::move(applications)),
      clock_(std::move(clock)),
      package_(std::move(packages)) {
  long ticks = sysconf(_SC_CLK_TCK);
  ticksPerSecond_ = ticks > 0 ? static_cast<double>(ticks) : 100.0;
}

std::optional<CpuTicks> parseCpuTicks(std::string_view stat) {
  if (!stat.starts_with("cpu ")) return std::nullopt;
  std::string_view line = stat.substr(4, stat.find('\n') - 4);
  CpuTicks ticks;
  int field = 0;
  while (field < 8) {
    auto first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) break;
    line.remove_prefix(first);
    auto end = std::min(line.find(' '), line.size());
    auto value = number(line.substr(0, end));
    if (!value) return std::nullopt;
    line.remove_prefix(end);
    ++field;
    // user nice system idle iowait irq softirq steal: all but idle and iowait is busy. The guest times
    // after them are already in user and nice.
    if (__builtin_add_overflow(ticks.total, *value, &ticks.total)) return std::nullopt;
    if (field != 4 && field != 5 && __builtin_add_overflow(ticks.busy, *value, &ticks.busy))
      return std::nullopt;
  }
  if (field < 4) return std::nullopt;
  return ticks;
}

std::optional<CpuTicks> ProcProcessTable::cpuTicksSinceLastRead() {
  std::string text;
  std::optional<CpuTicks> now;
  if (readFile(procRoot_ + "/stat", text, 4096)) now = parseCpuTicks(text);
  if (!now) return std::nullopt;
  CpuTicks since;
  if (cpuTicks_ && now->busy >= cpuTicks_->busy && now->total >= cpuTicks_->total)
    since = {now->busy - cpuTicks_->busy, now->total - cpuTicks_->total};
  cpuTicks_ = now;
  return since;
}

std::string ProcProcessTable::processFile(std::int32_t pid, const char* name) const {
  return procRoot_ + "/" + std::to_string(pid) + "/" + name;
}

std::optional<std::vector<ProcessUsage>> ProcProcessTable::sample() {
  const auto consumed = package_.consumedSinceLastRead();
  const auto cpu = cpuTicksSinceLastRead();
  if (!consumed || !cpu) return std::nullopt;
  // The energy's interval is the counters' own, which may have been read for this pass a moment earlier.
  const double seconds = consumed->seconds;
  const double uptime = clock_->uptime();
  std::optional<double> lowestWatts;
  if (seconds >= kMinimumInterval) {
    floor_.add(uptime, static_cast<double>(consumed->nanojoules) / 1e9 / seconds);
    lowestWatts = floor_.lowest(uptime);
  }
  const std::uint64_t dynamic = dynamicEnergy(consumed->nanojoules, *cpu, seconds, lowestWatts);

  DIR* dir = opendir(procRoot_.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::int32_t> pids;
  while (dirent* entry = readdir(dir))
    if (auto pid = pidName(entry->d_name)) pids.push_back(*pid);
  closedir(dir);
  std::sort(pids.begin(), pids.end());

  struct Seen {
    std::int32_t pid;
    ProcStat stat;
    std::uint64_t busyTicks;  // CPU time since the previous pass; 0 for a new incarnation
    const Attribution* before;
  };
  std::vector<Seen> seen;
  seen.reserve(pids.size());
  std::uint64_t totalBusy = 0;
  std::string line;
  for (std::int32_t pid : pids) {
    // A process that ended since the listing has no stat file any more: it is skipped.
    if (!readFile(processFile(pid, "stat"), line, 1024)) continue;
    auto stat = parseProcStat(line);
    if (!stat) continue;
    auto found = attributions_.find(pid);
    const Attribution* before =
        found != attributions_.end() && found->second.startTime == stat->startTime ? &found->second : nullptr;
    std::uint64_t busy =
        before != nullptr && stat->cpuTicks > before->cpuTicks ? stat->cpuTicks - before->cpuTicks : 0;
    totalBusy += busy;
    seen.push_back({pid, *stat, busy, before});
  }

  // The energy the processes used is shared by everything that ran, processes that started or ended since
  // the previous pass included: each survivor gets its part of all busy time, the others' parts go to no one.
  totalBusy = std::max(totalBusy, cpu->busy);

  std::unordered_map<std::int32_t, Attribution> next;
  next.reserve(seen.size());
  std::vector<ProcessUsage> usage;
  usage.reserve(seen.size());
  for (const auto& process : seen) {
    std::uint64_t energy;
    if (process.before == nullptr) {
      // Clamped below 2^64: a garbage tick count must not overflow the conversion.
      double seed = static_cast<double>(process.stat.cpuTicks) / ticksPerSecond_ * 1e9;
      energy = static_cast<std::uint64_t>(std::min(seed, 1.8e19));
    } else {
      long double share =
          totalBusy == 0 ? 0.0L : static_cast<long double>(dynamic) * process.busyTicks / totalBusy;
      energy = process.before->energyNanojoules + static_cast<std::uint64_t>(share);
    }
    next.emplace(process.pid, Attribution{process.stat.startTime, process.stat.cpuTicks, energy});
    usage.push_back({process.pid, process.stat.startTime, energy,
                     static_cast<double>(process.stat.cpuTicks) / ticksPerSecond_});
  }
  attributions_ = std::move(next);
  packageTotal_ = packageTotal_.value_or(0) + consumed->nanojoules;
  return usage;
}

std::string ProcProcessTable::executablePath(std::int32_t pid) {
  std::string path(4096, '\0');
  ssize_t length = readlink(processFile(pid, "exe").c_str(), path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  // An executable replaced by an upgrade still belongs with its program.
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  return path;
}

std::string ProcProcessTable::shortName(std::int32_t pid) {
  std::string name;
  if (!readFile(processFile(pid, "comm"), name, 256)) return {};
  if (name.ends_with('\n')) name.pop_back();
  return name;
}

std::optional<std::string> ProcProcessTable::applicationID(std::int32_t pid) {
  std::string cgroup;
  if (!readFile(processFile(pid, "cgroup"), cgroup, 64 * 1024)) return std::nullopt;
  const auto unit = applicationUnitFromCgroup(cgroup);
  // A shell or a compiler started from a terminal is itself, not the terminal.
  if (!unit || !applications_.runsOwnProgram(*unit, executablePath(pid))) return std::nullopt;
  return unit->id;
}

std::optional<std::string> ProcProcessTable::applicationName(const std::string& applicationID) {
  return applications_.name(applicationID);
}

}  // namespace wattline
