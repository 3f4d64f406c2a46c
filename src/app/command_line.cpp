// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/command_line.h"

#include <algorithm>

namespace wattline {

namespace {

using Flag = bool CommandLineOptions::*;
using Valued = std::optional<std::string> CommandLineOptions::*;

struct Option {
  OptionHelp help;
  Flag flag = nullptr;
  Valued valued = nullptr;
};

const std::vector<Option>& options() {
  using O = CommandLineOptions;
  static const std::vector<Option> table = {
      {{"--startup-status", "", "print the login-item state and launch preference as JSON"},
       &O::startupStatus},
      {{"--snapshot", "", "print one power snapshot as JSON (two reads one second apart)"}, &O::snapshot},
      {{"--process-power", "",
        "print the apps using the most power over two seconds as JSON (RAPL access: README)"},
       &O::processPower},
      {{"--app-energy", "", "print the apps' energy over the last 24 hours (or --since) as JSON"},
       &O::appEnergy},
      {{"--export-history", "", "write the per-second history of --since to standard output"},
       &O::exportHistory},
      {{"--since", "DURATION", "how far back --app-energy and --export-history look: 90m, 24h, 7d"},
       nullptr,
       &O::since},
      {{"--on-battery", "", "with --app-energy: only the minutes on battery"}, &O::onBattery},
      {{"--format", "FORMAT", "with --export-history: csv (the default) or json"}, nullptr, &O::format},
      {{"--apps", "", "with --export-history: the apps' energy per minute instead of the seconds"}, &O::apps},
      {{"--render-preview", "DIR", "render the panel previews and animated GIFs into DIR"},
       nullptr,
       &O::renderPreview},
      {{"--history-directory", "DIR", "keep the history database history.sqlite3 in DIR"},
       nullptr,
       &O::historyDirectory},
      {{"--history-window", "", "open the history window right after launch"}, &O::historyWindow},
      {{"--show", "", "open the panel at launch"}, &O::show},
      {{"--window-trace", "FILE", "append one JSON line per window event to FILE"}, nullptr, &O::windowTrace},
      {{"--ui-probe", "FILE", "rewrite FILE with a JSON layout snapshot after each window change"},
       nullptr,
       &O::uiProbe},
      {{"--help", "", "print this help and exit"}, &O::help},
      {{"--version", "", "print the version and exit"}, &O::version},
  };
  return table;
}

const Option* find(std::string_view argument) {
  const auto& table = options();
  auto it =
      std::find_if(table.begin(), table.end(), [&](const Option& o) { return o.help.name == argument; });
  return it == table.end() ? nullptr : &*it;
}

}  // namespace

CommandLineOptions parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineOptions result;
  for (const Option& option : options()) {
    auto first = std::find(arguments.begin(), arguments.end(), option.help.name);
    if (first == arguments.end()) continue;
    if (option.flag)
      result.*option.flag = true;
    else if (std::next(first) != arguments.end())
      result.*option.valued = *std::next(first);
  }
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const Option* previous = find(arguments[i - 1]);
    bool isValue = previous != nullptr && previous->valued != nullptr;
    if (!isValue && arguments[i].starts_with("--") && find(arguments[i]) == nullptr)
      result.unknown.push_back(arguments[i]);
  }
  return result;
}

const std::vector<OptionHelp>& knownOptions() {
  static const std::vector<OptionHelp> help = [] {
    std::vector<OptionHelp> list;
    for (const Option& option : options()) list.push_back(option.help);
    return list;
  }();
  return help;
}

std::string helpText(std::string_view version) {
  std::string text = "瓦迹 (Wattline) " + std::string(version) +
                     " — live power flow between adapter, mainboard and battery.\n\n"
                     "Usage: wattline [OPTION]...\n\nOptions:\n";
  for (const auto& option : knownOptions()) {
    std::string left = "  " + std::string(option.name);
    if (!option.value.empty()) left += " " + std::string(option.value);
    if (left.size() < 28)
      left.resize(28, ' ');
    else
      left += "  ";
    text += left + std::string(option.text) + "\n";
  }
  text +=
      "\nWithout a tool option the tray application starts: the wattage in the tray, the panel\n"
      "under its icon, the history window. A second start brings the running copy forward.\n"
      "Qt's own options (-platform, -session, -style ...) are passed on to Qt.\n";
  return text;
}

}  // namespace wattline
