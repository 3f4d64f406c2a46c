// SPDX-License-Identifier: GPL-3.0-or-later

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/linux/desktop_application.h"
#include "platform/linux/proc_process_table.h"
#include "readers/process_power_snapshot.h"

// The texts the process table reads from other programs' files: stat lines,
// /proc/stat, cgroup files, desktop entries; and process-power JSON.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  wattline::parseProcStat(text);
  wattline::parseCpuTicks(text);
  wattline::applicationUnitFromCgroup(text);
  wattline::parseDesktopEntry(text);
  auto json = nlohmann::json::parse(text, nullptr, false);
  if (!json.is_discarded()) wattline::ProcessPowerSnapshot::fromJSON(json);
  return 0;
}
