// SPDX-License-Identifier: GPL-3.0-or-later
// wattline-energyd: reads the RAPL energy counters that the kernel lets only root read, at most once a
// second, for every user on the system bus.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "energyd/energy_counters_service.h"

namespace {

constexpr const char* kUsage =
    "Usage: wattline-energyd [--bus ADDRESS] [--idle-exit SECONDS]\n"
    "Serves local.wattline.EnergyCounters1 on the system bus: the RAPL energy counters of\n"
    "/sys/class/powercap, read at most once a second for all callers together.\n"
    "\n"
    "  --bus ADDRESS        use the message bus at ADDRESS instead of the system bus (for tests)\n"
    "  --idle-exit SECONDS  exit after SECONDS without a call instead of 60 (for tests)\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "WATTLINE_SYSFS_ROOT reads another tree in place of /sys (for tests).\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "wattline-energyd: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  wattline::energyd::ServiceOptions options;
  if (const char* root = std::getenv("WATTLINE_SYSFS_ROOT"); root && *root) options.sysfsRoot = root;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("wattline-energyd %s\n", WATTLINE_VERSION);
      return 0;
    }
    if ((argument == "--bus" || argument == "--idle-exit") && i + 1 == argc)
      return usageError(argument + " needs a value");
    if (argument == "--bus") {
      options.busAddress = argv[++i];
    } else if (argument == "--idle-exit") {
      char* end = nullptr;
      const double seconds = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(seconds > 0 && seconds <= 86400))
        return usageError(std::string("not a number of seconds: ") + argv[i]);
      options.idleNanoseconds = static_cast<std::int64_t>(seconds * 1e9);
    } else {
      return usageError("unknown option " + argument);
    }
  }
  return wattline::energyd::serve(options);
}
