#include "app/app_info.h"

#include "platform/linux/app_identity.h"

namespace wattline {

std::string AppInfo::version() {
  return version(AppIdentity().version());
}

std::string AppInfo::version(const std::optional<std::string>& release) {
  return release && !release->empty() ? *release : "开发版";
}

}  // namespace wattline
