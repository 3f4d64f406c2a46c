// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/app_identity.h"

#include <cstdlib>

namespace wattline {

std::optional<std::string> AppIdentity::bundleIdentifier() const {
  const char* value = std::getenv("WATTLINE_BUNDLE_IDENTIFIER");
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> AppIdentity::version() const {
  std::string version = WATTLINE_VERSION;
  if (version.empty()) return std::nullopt;
  return version;
}

}  // namespace wattline
