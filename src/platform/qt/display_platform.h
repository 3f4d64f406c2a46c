// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace wattline {

inline constexpr std::string_view kNoDisplayMessage =
    "no display: set DISPLAY or WAYLAND_DISPLAY; the tool modes work without one";

// Which Qt platform the tray application starts on.
struct DisplayChoice {
  bool available = false;
  std::optional<std::string> platform;  // the platform to ask Qt for; absent: Qt's own choice
};

// From the values of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM (empty when
// unset). A platform named by the user stands. Otherwise an X display wins,
// XWayland included: only on X can a window be placed, and the panel must
// hang under the tray icon. A pure Wayland session takes Qt's choice.
DisplayChoice chooseDisplayPlatform(std::string_view display, std::string_view waylandDisplay,
                                    std::string_view qpaPlatform);

// Applies the choice for this process before the application object exists:
// sets QT_QPA_PLATFORM when it asks for a platform; without any display writes
// the one line of kNoDisplayMessage to `errors` and returns false.
bool prepareDisplayPlatform(std::ostream& errors);

}  // namespace wattline
