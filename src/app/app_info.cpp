#include "app/app_info.h"

namespace wattline {

std::string AppInfo::version() {
  return version(std::string(WATTLINE_VERSION));
}

std::string AppInfo::version(const std::optional<std::string>& release) {
  return release && !release->empty() ? *release : "开发版";
}

}  // namespace wattline
