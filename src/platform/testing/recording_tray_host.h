// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/tray_host.h"

namespace wattline::testing {

// A tray host that keeps what it was sent and counts the sends; a test
// decides whether it shows a title, where it sits, and when it is clicked.
class RecordingTrayHost : public TrayHost {
 public:
  void setIcon(std::vector<IconImage> images) override { icon = std::move(images), ++iconSends; }
  void setTitle(const std::string& text, const std::string&) override { title = text, ++titleSends; }
  void setToolTip(const std::string& text) override { toolTip = text, ++toolTipSends; }
  void setAccessibilityLabel(const std::string& text) override { accessibilityLabel = text; }
  bool showsTitle() const override { return titleShown; }
  std::optional<TrayItemPlace> place() const override { return where; }
  bool available() const override { return present; }
  std::optional<double> backgroundLuminance() const override { return behind; }

  void click(Anchor anchor) { activated(anchor); }
  // The desktop swapped the host: it now shows titles or not, as given.
  void replace(bool showsTitles) {
    titleShown = showsTitles;
    hostChanged();
  }

  std::vector<IconImage> icon;
  std::string title, toolTip, accessibilityLabel;
  int iconSends = 0, titleSends = 0, toolTipSends = 0;
  bool titleShown = true;
  std::optional<TrayItemPlace> where;
  bool present = true;
  std::optional<double> behind;
};

}  // namespace wattline::testing
