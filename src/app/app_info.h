#pragma once

#include <string>

namespace wattline {

struct AppInfo {
  // The release version of this build, "开发版" when the build carries none.
  static std::string version();
};

}  // namespace wattline
