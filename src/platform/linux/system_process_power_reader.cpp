#include "platform/linux/system_process_power_reader.h"

#include <chrono>
#include <cstdlib>

#include "platform/linux/desktop_application.h"
#include "platform/linux/proc_process_table.h"

namespace wattline {

namespace {

// steady_clock is CLOCK_MONOTONIC on Linux: it stops while the machine sleeps.
class SteadyUptimeClock : public Clock {
 public:
  Date now() const override { return std::chrono::system_clock::now(); }
  double uptime() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
};

std::string rootFromEnvironment(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

}  // namespace

std::unique_ptr<ProcessPowerReader> makeSystemProcessPowerReader() {
  auto table = std::make_shared<ProcProcessTable>(rootFromEnvironment("WATTLINE_PROC_ROOT", "/proc"),
                                                  rootFromEnvironment("WATTLINE_SYSFS_ROOT", "/sys"),
                                                  applicationDirectories());
  return std::make_unique<ProcessPowerReader>(std::move(table), std::make_shared<SteadyUptimeClock>());
}

ProcessPowerReader& ProcessPowerReader::shared() {
  static std::unique_ptr<ProcessPowerReader> reader = makeSystemProcessPowerReader();
  return *reader;
}

}  // namespace wattline
