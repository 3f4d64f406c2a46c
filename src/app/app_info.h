// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace wattline {

struct AppInfo {
  // The release version of this build, "开发版" when the build carries none.
  static std::string version();
  // `release` when it is present and not empty, else "开发版".
  static std::string version(const std::optional<std::string>& release);
  // The about dialog's three lines under the name and version.
  static std::string credits();
  // Brings the about dialog to the front (one at a time).
  static void showAbout();
};

}  // namespace wattline
