#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/app_info.h"
#include "app/command_line.h"

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
  for (const auto& option : knownOptions()) {
    if (line.has(option.name) && !option.available) {
      std::cerr << "wattline: " << option.name << " is not available yet\n";
      return 2;
    }
  }
  std::cerr << "wattline: the tray application is not available yet; see --help for what works\n";
  return 2;
}
