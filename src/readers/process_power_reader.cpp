// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/process_power_reader.h"

#include <unordered_set>

#include "readers/process_power_policy.h"

namespace wattline {

namespace {

constexpr std::size_t kLongestName = 100;

std::string lastComponent(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutExtension(const std::string& name) {
  auto dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string firstCharacters(const std::string& text, std::size_t characters) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (count == characters) return text.substr(0, i);
    ++count;
  }
  return text;
}

ProcessPowerReader::ProcessPowerReader(std::shared_ptr<ProcessTable> table,
                                       std::shared_ptr<const Clock> clock)
    : table_(std::move(table)), clock_(std::move(clock)) {}

ProcessEnergyBatch ProcessPowerReader::read() {
  std::lock_guard guard(lock_);
  auto processes = table_->sample();
  ProcessEnergyBatch batch;
  if (!processes) {
    batch.timestamp = clock_->now();
    batch.uptime = clock_->uptime();
    return batch;
  }
  // The table attributes energy for the whole pass at once, so every process shares its end time.
  double sampledUptime = clock_->uptime();
  std::unordered_set<std::int32_t> seen;
  batch.counters.reserve(processes->size());
  for (const auto& process : *processes) {
    if (process.pid < 1 || !seen.insert(process.pid).second) continue;
    const Identity& identity = identify(process.pid, process.startTime);
    batch.counters.push_back({process.pid, process.startTime, process.energyNanojoules, identity.group,
                              identity.name, sampledUptime, process.cpuSeconds});
    batch.available = batch.available || process.energyNanojoules != 0;
  }
  std::erase_if(identities_, [&](const auto& entry) { return seen.count(entry.first) == 0; });
  batch.packageNanojoules = table_->packageEnergyNanojoules();
  batch.timestamp = clock_->now();
  batch.uptime = clock_->uptime();
  return batch;
}

const ProcessPowerReader::Identity& ProcessPowerReader::identify(std::int32_t pid, std::uint64_t start) {
  if (auto found = identities_.find(pid); found != identities_.end() && found->second.start == start)
    return found->second;

  std::string path = table_->executablePath(pid);
  Identity identity{start, {}, {}};
  if (auto bundle = ProcessPowerPolicy::appPath(path)) {
    identity.group = "app:" + *bundle;
    identity.name = bundleName(*bundle);
  } else if (auto application = table_->applicationID(pid)) {
    identity.group = "desktop:" + *application;
    identity.name = applicationName(*application);
  } else {
    std::string shortName = table_->shortName(pid);
    if (!shortName.empty())
      identity.name = shortName;
    else if (!path.empty())
      identity.name = lastComponent(path);
    else
      identity.name = "进程 " + std::to_string(pid);
    identity.group =
        path.empty() ? "pid:" + std::to_string(pid) + ":" + std::to_string(start) : "exec:" + path;
  }
  return identities_.insert_or_assign(pid, std::move(identity)).first->second;
}

std::string ProcessPowerReader::bundleName(const std::string& appPath) {
  if (auto cached = appNames_.find(appPath); cached != appNames_.end()) return cached->second;
  std::string name = table_->bundleDisplayName(appPath).value_or("");
  if (name.empty()) name = withoutExtension(lastComponent(appPath));
  return appNames_[appPath] = firstCharacters(name, kLongestName);
}

std::string ProcessPowerReader::applicationName(const std::string& applicationID) {
  std::string key = "desktop:" + applicationID;
  if (auto cached = appNames_.find(key); cached != appNames_.end()) return cached->second;
  std::string name = table_->applicationName(applicationID).value_or("");
  if (name.empty()) name = applicationID;
  return appNames_[key] = firstCharacters(name, kLongestName);
}

}  // namespace wattline
