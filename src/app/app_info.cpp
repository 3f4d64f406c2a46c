#include "app/app_info.h"

namespace wattline {

std::string AppInfo::version() {
  std::string version = WATTLINE_VERSION;
  return version.empty() ? "开发版" : version;
}

}  // namespace wattline
