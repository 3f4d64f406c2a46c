// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/desktop_settings.h"

namespace wattline {

// Desktop settings a test sets by hand; setting a value reports the change.
class ScriptedDesktopSettings : public DesktopSettings {
 public:
  bool reduceMotion() const override { return reduceMotion_; }
  ColorScheme colorScheme() const override { return colorScheme_; }
  void setReduceMotion(bool reduce) {
    reduceMotion_ = reduce;
    changed();
  }
  void setColorScheme(ColorScheme scheme) {
    colorScheme_ = scheme;
    changed();
  }

 private:
  bool reduceMotion_ = false;
  ColorScheme colorScheme_ = ColorScheme::noPreference;
};

}  // namespace wattline
