// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/display_platform.h"

#include <cstdlib>

namespace wattline {

DisplayChoice chooseDisplayPlatform(std::string_view display, std::string_view waylandDisplay,
                                    std::string_view qpaPlatform) {
  if (!qpaPlatform.empty()) return {true, std::nullopt};
  if (!display.empty()) return {true, "xcb"};
  if (!waylandDisplay.empty()) return {true, std::nullopt};
  return {false, std::nullopt};
}

bool prepareDisplayPlatform(std::ostream& errors) {
  auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string_view(text ? text : "");
  };
  DisplayChoice choice =
      chooseDisplayPlatform(value("DISPLAY"), value("WAYLAND_DISPLAY"), value("QT_QPA_PLATFORM"));
  if (!choice.available) {
    errors << kNoDisplayMessage << '\n';
    return false;
  }
  if (choice.platform && setenv("QT_QPA_PLATFORM", choice.platform->c_str(), 1) != 0) {
    errors << "wattline: cannot set QT_QPA_PLATFORM\n";
    return false;
  }
  return true;
}

}  // namespace wattline
