#include "app/command_line.h"

#include <algorithm>

namespace wattline {

const std::vector<OptionHelp>& knownOptions() {
  static const std::vector<OptionHelp> options = {
      {"--startup-status", "", "print the login-item state and launch preference as JSON", true},
      {"--snapshot", "", "print one power snapshot as JSON (two reads one second apart)", true},
      {"--process-power", "",
       "print the apps using the most power over two seconds as JSON (RAPL access: README)", true},
      {"--render-preview", "DIR", "render the panel previews and animated GIFs into DIR", true},
      {"--history-directory", "DIR", "keep the history database history.sqlite3 in DIR", false},
      {"--history-window", "", "open the history window right after launch", false},
      {"--show", "", "open the panel at launch", false},
      {"--window-trace", "FILE", "append one JSON line per window event to FILE", false},
      {"--ui-probe", "FILE", "rewrite FILE with a JSON layout snapshot after each window change", false},
      {"--help", "", "print this help and exit", true},
      {"--version", "", "print the version and exit", true},
  };
  return options;
}

bool CommandLine::has(std::string_view option) const {
  return std::find(arguments_.begin(), arguments_.end(), option) != arguments_.end();
}

std::optional<std::string> CommandLine::value(std::string_view option) const {
  auto it = std::find(arguments_.begin(), arguments_.end(), option);
  if (it == arguments_.end() || std::next(it) == arguments_.end()) return std::nullopt;
  return *std::next(it);
}

std::vector<std::string> CommandLine::unknown() const {
  std::vector<std::string> result;
  const auto& options = knownOptions();
  for (std::size_t i = 1; i < arguments_.size(); ++i) {
    auto known = std::find_if(options.begin(), options.end(),
                              [&](const OptionHelp& o) { return o.name == arguments_[i]; });
    if (known == options.end()) {
      result.push_back(arguments_[i]);
      continue;
    }
    // Only the first occurrence of an option takes the next argument as its value.
    if (!known->value.empty() && value(known->name) && i + 1 < arguments_.size() &&
        std::find(arguments_.begin(), arguments_.end(), known->name) == arguments_.begin() + i)
      ++i;
  }
  return result;
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
    text += left + std::string(option.text);
    if (!option.available) text += " (not available yet)";
    text += "\n";
  }
  text += "\nWithout a tool option the tray application starts (not available yet).\n";
  return text;
}

}  // namespace wattline
