#pragma once

#include <QSystemTrayIcon>

#include "platform/tray_host.h"

namespace wattline {

// The XEmbed tray of X11 panels (trayer, stalonetray, i3bar) through
// QSystemTrayIcon: an icon, a tooltip and clicks, but no text beside the
// icon and no accessibility text.
class SystemTrayHost : public TrayHost {
 public:
  SystemTrayHost();

  void setIcon(std::vector<IconImage> images) override;
  void setTitle(const std::string&, const std::string&) override {}
  void setToolTip(const std::string& text) override;
  void setAccessibilityLabel(const std::string&) override {}
  bool showsTitle() const override { return false; }
  std::optional<TrayItemPlace> place() const override;

 private:
  QSystemTrayIcon icon_;
};

}  // namespace wattline
