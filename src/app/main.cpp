// SPDX-License-Identifier: GPL-3.0-or-later

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_info.h"
#include "app/command_line.h"
#include "app/preview_renderer.h"
#include "app/system_readers.h"
#include "app/tool_modes.h"
#include "app/tray_application.h"
#include "base/json_coding.h"
#include "history/history_store.h"
#include "platform/linux/app_identity.h"
#include "platform/linux/system_clock.h"
#include "platform/qt/qt_user_defaults.h"
#include "platform/qt/system_login_item.h"

namespace {

using namespace wattline;

void sleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

int printStartupStatus() {
  SystemLoginItem loginItem;
  QtUserDefaults defaults;
  std::cout << prettyJson(startupStatus(AppInfo::version(), loginItem, defaults)) << std::endl;
  return 0;
}

int printSnapshot() {
  std::cout << prettyJson(toJson(measureSnapshot(PowerReader::read, 1.0, sleepSeconds))) << std::endl;
  return 0;
}

int printProcessPower() {
  auto reader = makeSystemProcessPowerReader();
  std::cout << prettyJson(measureProcessPower(*reader, 2.0, sleepSeconds).toJSON()) << std::endl;
  return 0;
}

// The history the tray application keeps: in --history-directory, else in the data home.
HistoryToolContext historyTool(const CommandLineOptions& options) {
  std::optional<std::filesystem::path> database;
  if (options.historyDirectory) {
    database = HistoryStore::urlInDirectory(*options.historyDirectory);
  } else {
    database = HistoryStore::defaultURL(AppIdentity().bundleIdentifier(), [](std::string_view name) {
      const char* value = std::getenv(std::string(name).c_str());
      return value ? std::optional<std::string>(value) : std::nullopt;
    });
  }
  return {database, SystemClock().now(), std::cout, std::cerr};
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLineOptions options = parseCommandLine(std::vector<std::string>(argv, argv + argc));
  for (const auto& argument : options.unknown) {
    std::cerr << "wattline: unknown option '" << argument << "' (see --help)\n";
    return 2;
  }
  if (options.help) {
    std::cout << helpText(AppInfo::version());
    return 0;
  }
  if (options.version) {
    std::cout << "wattline " << AppInfo::version() << "\n";
    return 0;
  }
  // Tool modes in their fixed order; the first one asked for wins.
  if (options.startupStatus) return printStartupStatus();
  if (options.snapshot) return printSnapshot();
  if (options.processPower) return printProcessPower();
  if (options.appEnergy) return printAppEnergy(options, historyTool(options));
  if (options.exportHistory) return exportHistory(options, historyTool(options));
  if (options.renderPreview) return renderPreview(argc, argv, *options.renderPreview);
  // The tray application; argc and argv go to Qt unchanged, with its own options.
  return runTrayApplication(argc, argv, options);
}
