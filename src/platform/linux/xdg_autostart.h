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
  // The absolute path of the running program; empty when it cannot be determined.
  static std::string runningExecutable();

  // True when the entry exists and is neither hidden nor switched off.
  bool isEnabled() const;
  // Writes an entry that starts `executable`; nothing on success, else the reason.
  std::optional<std::string> write(const std::string& executable) const;
  // Removes the entry (a missing entry is fine); nothing on success, else the reason.
  std::optional<std::string> remove() const;

  std::string path() const { return directory_ + "/" + fileName_; }
  const std::string& directory() const { return directory_; }

 private:
  std::string directory_;
  std::string fileName_;
};

// The entry's text for `executable`: the path is quoted for the Exec key.
std::string autostartEntry(const std::string& executable);

}  // namespace wattline
