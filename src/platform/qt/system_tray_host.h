// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

#include "platform/tray_host.h"

namespace wattline {

// The XEmbed tray of X11 panels (trayer, stalonetray, i3bar) through
// QSystemTrayIcon: an icon, a tooltip and clicks, but no text beside the
// icon and no accessibility text. Such trays draw the icon as it comes, so
// the host reads the tray's luminance behind it once the tray has embedded it
// (and again when it moved), for the icon's colour.
class SystemTrayHost : public TrayHost {
 public:
  SystemTrayHost();

  void setIcon(std::vector<IconImage> images) override;
  void setTitle(const std::string&, const std::string&) override {}
  void setToolTip(const std::string& text) override;
  void setAccessibilityLabel(const std::string&) override {}
  bool showsTitle() const override { return false; }
  std::optional<TrayItemPlace> place() const override;
  std::optional<double> backgroundLuminance() const override { return background_; }

 private:
  void readBackground();

  QSystemTrayIcon icon_;
  // Looks for the icon's place until the tray has embedded it.
  QTimer embedding_;
  int embeddingPolls_ = 0;
  QRect readAt_;
  std::optional<double> background_;
};

}  // namespace wattline
