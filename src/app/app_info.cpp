// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/app_info.h"

#include "platform/linux/app_identity.h"

namespace wattline {

std::string AppInfo::version() {
  return version(AppIdentity().version());
}

std::string AppInfo::version(const std::optional<std::string>& release) {
  return release && !release->empty() ? *release : "开发版";
}

std::string AppInfo::credits() {
  return "实时功耗与供电流向\n电源 · 主板 · 电池\nLinux · sysfs · RAPL";
}

}  // namespace wattline
