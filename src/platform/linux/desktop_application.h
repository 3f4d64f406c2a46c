#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wattline {

// The desktop application a process was started as, from the contents of its
// /proc/<pid>/cgroup: a systemd "app-[<launcher>-]<id>-<random>.scope" or
// "app-[<launcher>-]<id>[@<random>].service" unit of the user session (Flatpak
// apps run in such scopes with the launcher "flatpak"), or a Snap's
// "snap.<snap>.<app>…" unit, whose desktop entry is "<snap>_<app>".
std::optional<std::string> applicationIDFromCgroup(std::string_view cgroupFile);

// The "Name" of a desktop entry's [Desktop Entry] group, the Simplified
// Chinese one when the entry has it; nothing when there is none or it is not valid UTF-8.
std::optional<std::string> desktopEntryName(std::string_view contents);

// The application directories of the XDG data directories, most important first.
std::vector<std::string> applicationDirectories();

// Looks up "<id>.desktop" in `directories`, in order; the first entry found decides.
std::optional<std::string> findApplicationName(const std::string& applicationID,
                                               const std::vector<std::string>& directories);

bool isValidUTF8(std::string_view text);

}  // namespace wattline
