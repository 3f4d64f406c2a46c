// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/identity.h"
#include "platform/process_table.h"
#include "readers/process_power_snapshot.h"

namespace wattline {

// Reads every process's cumulative energy and groups processes into applications.
// `read` may run on any thread; the lock serialises it.
class ProcessPowerReader {
 public:
  ProcessPowerReader(std::shared_ptr<ProcessTable> table, std::shared_ptr<const Clock> clock);

  ProcessEnergyBatch read();

 private:
  struct Identity {
    std::uint64_t start;
    std::string group;
    std::string name;
  };

  const Identity& identify(std::int32_t pid, std::uint64_t start);
  std::string bundleName(const std::string& appPath);
  std::string applicationName(const std::string& applicationID);

  std::mutex lock_;
  std::shared_ptr<ProcessTable> table_;
  std::shared_ptr<const Clock> clock_;
  std::unordered_map<std::int32_t, Identity> identities_;
  // Display names per bundle path or desktop application id, read once per run.
  std::unordered_map<std::string, std::string> appNames_;
};

// `text` cut to its first `characters` UTF-8 characters.
std::string firstCharacters(const std::string& text, std::size_t characters);

}  // namespace wattline
