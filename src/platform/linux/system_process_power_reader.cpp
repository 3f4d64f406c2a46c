#include "platform/linux/system_process_power_reader.h"

#include <cstdlib>

#include "platform/linux/desktop_application.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/proc_process_table.h"
#include "platform/linux/system_clock.h"

namespace wattline {

namespace {

std::string procRootFromEnvironment() {
  const char* value = std::getenv("WATTLINE_PROC_ROOT");
  return value != nullptr && value[0] != '\0' ? value : "/proc";
}

}  // namespace

std::unique_ptr<ProcessPowerReader> makeSystemProcessPowerReader() {
  auto clock = std::make_shared<SystemClock>();
  auto table = std::make_shared<ProcProcessTable>(
      procRootFromEnvironment(), sysfsRootFromEnvironment(),
      DesktopApplications(applicationDirectories(), programDirectories()), clock);
  return std::make_unique<ProcessPowerReader>(std::move(table), std::move(clock));
}

ProcessPowerReader& ProcessPowerReader::shared() {
  static std::unique_ptr<ProcessPowerReader> reader = makeSystemProcessPowerReader();
  return *reader;
}

}  // namespace wattline
