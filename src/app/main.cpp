#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_info.h"
#include "app/command_line.h"
#include "app/preview_renderer.h"
#include "app/system_login_item.h"
#include "app/tool_modes.h"
#include "platform/linux/linux_power_services.h"
#include "platform/linux/system_process_power_reader.h"
#include "platform/qt/qt_user_defaults.h"
#include "power/json_coding.h"

namespace {

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

int notAvailable(std::string_view what) {
  std::cerr << "wattline: " << what << " is not available yet\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace wattline;
  CommandLine line(std::vector<std::string>(argv, argv + argc));

  if (line.has("--help")) {
    std::cout << helpText(AppInfo::version());
    return 0;
  }
  if (line.has("--version")) {
    std::cout << "wattline " << AppInfo::version() << "\n";
    return 0;
  }
  for (const auto& arg : line.unknown()) {
    std::cerr << "wattline: unknown option '" << arg << "' (see --help)\n";
    return 2;
  }

  // Tool modes in their fixed order; the first one asked for wins.
  if (line.has("--startup-status")) {
    SystemLoginItem loginItem;
    QtUserDefaults defaults;
    std::cout << prettyJson(startupStatus(AppInfo::version(), loginItem, defaults)) << std::endl;
    return 0;
  }
  if (line.has("--snapshot")) {
    std::cout << prettyJson(toJson(measureSnapshot(PowerReader::read, 1.0, sleepSeconds))) << std::endl;
    return 0;
  }
  if (line.has("--process-power")) {
    auto reader = makeSystemProcessPowerReader();
    std::cout << prettyJson(measureProcessPower(*reader, 2.0, sleepSeconds).toJSON()) << std::endl;
    return 0;
  }
  if (auto directory = line.value("--render-preview")) return renderPreview(argc, argv, *directory);

  for (const auto& option : knownOptions())
    if (line.has(option.name) && !option.available) return notAvailable(option.name);
  std::cerr << "wattline: the tray application is not available yet; see --help for what works\n";
  return 2;
}
