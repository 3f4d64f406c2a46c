// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

#include "platform/linux/xdg_autostart.h"
#include "platform/login_item.h"

namespace wattline {

// Refuses to register a copy of the program that runs from a place it will not
// be found at next login: a mounted disk image, a quarantine translocation copy
// or a temporary directory. Nothing when the location is fine.
std::optional<LoginItemError> refusedLoginItemLocation(const std::string& programPath);

// The login item of this program: an XDG autostart entry that starts the
// program's absolute path.
class SystemLoginItem : public LoginItemManaging {
 public:
  SystemLoginItem();
  SystemLoginItem(std::string autostartDirectory, std::string programPath);

  LoginItemState state() const override;
  std::optional<LoginItemError> registerItem() override;
  std::optional<LoginItemError> unregisterItem() override;
  // Opens the autostart directory in the file manager.
  void openSettings() override;

 private:
  XdgAutostart entry_;
  std::string programPath_;
};

}  // namespace wattline
