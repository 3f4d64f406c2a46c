// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/fake_process_table.h"

#include <stdexcept>

namespace wattline::testing {

FakeProcessTable::Process& FakeProcessTable::process(std::int32_t pid) {
  for (auto& process : processes.value())
    if (process.pid == pid) return process;
  throw std::out_of_range("no process " + std::to_string(pid));
}

const FakeProcessTable::Process* FakeProcessTable::find(std::int32_t pid) const {
  if (!processes) return nullptr;
  for (const auto& process : *processes)
    if (process.pid == pid) return &process;
  return nullptr;
}

std::optional<std::vector<ProcessUsage>> FakeProcessTable::sample() {
  if (!processes) return std::nullopt;
  std::vector<ProcessUsage> usage;
  for (const auto& process : *processes)
    usage.push_back({process.pid, process.startTime, process.energyNanojoules, process.cpuSeconds});
  return usage;
}

std::string FakeProcessTable::executablePath(std::int32_t pid) {
  ++pathLookups;
  const Process* process = find(pid);
  return process ? process->path : std::string();
}

std::string FakeProcessTable::shortName(std::int32_t pid) {
  const Process* process = find(pid);
  return process ? process->shortName : std::string();
}

std::optional<std::string> FakeProcessTable::applicationID(std::int32_t pid) {
  const Process* process = find(pid);
  return process ? process->applicationID : std::nullopt;
}

std::optional<std::string> FakeProcessTable::bundleDisplayName(const std::string& appPath) {
  ++bundleLookups;
  auto found = bundleNames.find(appPath);
  if (found == bundleNames.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> FakeProcessTable::applicationName(const std::string& applicationID) {
  auto found = applicationNames.find(applicationID);
  if (found == applicationNames.end()) return std::nullopt;
  return found->second;
}

}  // namespace wattline::testing
