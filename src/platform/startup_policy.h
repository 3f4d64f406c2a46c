// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace wattline::StartupPolicy {

// The user-defaults key of the preference to open the panel at launch.
inline constexpr const char* showOnLaunchKey = "showPanelOnLaunch";
// The user-defaults key set once the panel has opened by itself for the first time.
inline constexpr const char* didShowWelcomeKey = "didShowWelcome";

inline bool shouldShowPanel(bool force, bool firstLaunch, bool preferred) {
  return force || firstLaunch || preferred;
}

}  // namespace wattline::StartupPolicy
