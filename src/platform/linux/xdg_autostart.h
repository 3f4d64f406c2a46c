// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace wattline {

// One XDG autostart entry that starts a program at login.
class XdgAutostart {
 public:
  // `directory` is the autostart directory, `fileName` the entry's file name in it.
  XdgAutostart(std::string directory, std::string fileName);

  // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart; empty when neither can be determined.
  static std::string defaultDirectory();
  // The absolute path of the running program, read from `link` (the kernel's
  // link to it); empty when it cannot be determined.
  static std::string runningExecutable(const std::string& link = "/proc/self/exe");

  // True when the entry exists, is neither hidden nor switched off, and starts `executable`.
  bool startsProgram(const std::string& executable) const;
  // Writes an entry that starts `executable`; nothing on success, else the reason.
  // Refuses paths that desktop launchers cannot start.
  std::optional<std::string> write(const std::string& executable) const;
  // Removes the entry (a missing entry is fine); nothing on success, else the reason.
  std::optional<std::string> remove() const;

  std::string path() const { return directory_ + "/" + fileName_; }
  const std::string& directory() const { return directory_; }

 private:
  std::string directory_;
  std::string fileName_;
};

// The entry's text for `executable` (without "%" or line breaks): the path is quoted for the Exec key.
std::string autostartEntry(const std::string& executable);

}  // namespace wattline
