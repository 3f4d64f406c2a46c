// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wattline {

// What holds a desktop application's processes besides its own program.
enum class Sandbox { none, flatpak, snap };

// The desktop application a process was started as, from the contents of its
// /proc/<pid>/cgroup: a systemd "app-[<launcher>-]<id>-<random>.scope" or
// "app-[<launcher>-]<id>[@<random>].service" unit of the user session (Flatpak
// apps run in such scopes with the launcher "flatpak"), or a Snap's
// "snap.<snap>.<app>…" unit, whose desktop entry is "<snap>_<app>".
struct ApplicationUnit {
  std::string id;
  Sandbox sandbox = Sandbox::none;
  std::string snap = {};  // the snap's name, for a snap
  bool operator==(const ApplicationUnit&) const = default;
};
std::optional<ApplicationUnit> applicationUnitFromCgroup(std::string_view cgroupFile);

// What a desktop entry's [Desktop Entry] group says: its "Name", the Simplified Chinese one when it has it
// (nothing when there is none or it is not valid UTF-8), and the program its "Exec" line starts (the first
// argument, unquoted, after an "env" and its assignments).
struct DesktopEntry {
  std::optional<std::string> name;
  std::optional<std::string> program;
};
DesktopEntry parseDesktopEntry(std::string_view contents);

// Whether a process running `executable` is the application's own: anything inside its Flatpak or Snap,
// otherwise only its program at one of `programPaths` (a shell or a compiler started from a terminal is not
// the terminal).
bool isApplicationProgram(const ApplicationUnit& unit, std::string_view executable,
                          const std::vector<std::string>& programPaths);

// The application directories of the XDG data directories, most important first.
std::vector<std::string> applicationDirectories();
// The directories of PATH, in order.
std::vector<std::string> programDirectories();

// The session's desktop applications: their entries ("<id>.desktop" in the application directories, the
// first found decides) and where their programs are (a program named without a path is looked up in the
// program directories; links are resolved). Each application is looked up once. Not thread-safe.
class DesktopApplications {
 public:
  DesktopApplications(std::vector<std::string> entryDirectories, std::vector<std::string> programDirectories)
      : entryDirectories_(std::move(entryDirectories)), programDirectories_(std::move(programDirectories)) {}

  std::optional<std::string> name(const std::string& id);
  bool runsOwnProgram(const ApplicationUnit& unit, const std::string& executable);

 private:
  struct Application {
    DesktopEntry entry;
    std::vector<std::string> programPaths;
  };
  const Application& application(const std::string& id);

  std::vector<std::string> entryDirectories_;
  std::vector<std::string> programDirectories_;
  std::unordered_map<std::string, Application> applications_;
};

bool isValidUTF8(std::string_view text);

}  // namespace wattline
