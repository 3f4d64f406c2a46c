// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wattline {

// Every option of the program, as found in its arguments.
struct CommandLineOptions {
  bool startupStatus = false;
  bool snapshot = false;
  bool processPower = false;
  bool appEnergy = false;
  bool exportHistory = false;
  std::optional<std::string> since;  // a duration: 90m, 24h, 7d
  bool onBattery = false;
  std::optional<std::string> format;  // csv or json
  bool apps = false;
  std::optional<std::string> renderPreview;  // the output directory
  std::optional<std::string> historyDirectory;
  bool historyWindow = false;
  bool show = false;
  std::optional<std::string> windowTrace;  // a file path
  std::optional<std::string> uiProbe;      // a file path
  bool help = false;
  bool version = false;
  // Arguments beginning with "--" that name no option. Single-dash arguments
  // (-session, -platform, -style ...) belong to Qt and are left to it.
  std::vector<std::string> unknown;

  bool operator==(const CommandLineOptions&) const = default;
};

// Options are whole arguments, anywhere in the list (index 0 included). An
// option with a value counts at its first occurrence and takes the argument
// right after it; as the last argument it is absent.
CommandLineOptions parseCommandLine(const std::vector<std::string>& arguments);

struct OptionHelp {
  std::string_view name;
  std::string_view value;  // empty for a flag
  std::string_view text;
};

// Every option the program knows, in the order the help lists them.
const std::vector<OptionHelp>& knownOptions();
std::string helpText(std::string_view version);

}  // namespace wattline
