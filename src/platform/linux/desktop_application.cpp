#include "platform/linux/desktop_application.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

// Desktop entries are a few kilobytes; more than this is not one.
constexpr std::size_t kLongestDesktopEntry = 256 * 1024;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// systemd escapes unit-name characters as \xNN ("-" is "\x2d").
std::string unescapeUnitName(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 &&
        hexDigit(text[i + 3]) >= 0) {
      result += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
      i += 3;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string_view lastSegment(std::string_view text) {
  auto dash = text.find_last_of('-');
  return dash == std::string_view::npos ? text : text.substr(dash + 1);
}

std::optional<ApplicationUnit> applicationUnitFromUnit(std::string_view unit) {
  std::string_view id, launcher;
  if (unit.starts_with("app-") && unit.ends_with(".scope")) {
    std::string_view body = unit.substr(4, unit.size() - 4 - 6);
    auto random = body.find_last_of('-');
    if (random == std::string_view::npos) return std::nullopt;
    body = body.substr(0, random);
    id = lastSegment(body);
    launcher = body.substr(0, body.size() - id.size());
  } else if (unit.starts_with("app-") && unit.ends_with(".service")) {
    std::string_view body = unit.substr(4, unit.size() - 4 - 8);
    body = body.substr(0, body.find('@'));
    id = lastSegment(body);
    launcher = body.substr(0, body.size() - id.size());
  } else if (unit.starts_with("snap.")) {
    std::string_view body = unit.substr(5);
    auto dot = body.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view app = body.substr(dot + 1);
    app = app.substr(0, app.find_first_of("-."));
    if (dot == 0 || app.empty()) return std::nullopt;
    const std::string snap(body.substr(0, dot));
    return ApplicationUnit{snap + "_" + std::string(app), Sandbox::snap, snap};
  } else {
    return std::nullopt;
  }
  std::string result = unescapeUnitName(id);
  // The id names a file in the application directories; anything that could leave them is refused.
  if (result.empty() || result[0] == '.' || result.find('/') != std::string::npos ||
      result.find('\0') != std::string::npos)
    return std::nullopt;
  return ApplicationUnit{std::move(result), launcher == "flatpak-" ? Sandbox::flatpak : Sandbox::none, {}};
}

// The first argument of an Exec line, and the rest after it. Quoted arguments keep their spaces and take
// a backslash as escaping the next character.
std::optional<std::string> nextArgument(std::string_view& line) {
  const auto start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  line.remove_prefix(start);
  std::string argument;
  if (line.front() != '"') {
    const auto end = std::min(line.find(' '), line.size());
    argument = line.substr(0, end);
    line.remove_prefix(end);
    return argument;
  }
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      line.remove_prefix(i + 1);
      return argument;
    }
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    argument += line[i];
  }
  return std::nullopt;  // an unterminated quote: no valid command line
}

std::optional<std::string> execProgram(std::string_view line) {
  auto program = nextArgument(line);
  if (program && (*program == "env" || program->ends_with("/env"))) {
    do program = nextArgument(line);
    while (program && program->find('=') != std::string::npos);
  }
  if (!program || program->empty()) return std::nullopt;
  return program;
}

// Where `program` runs from: itself when it names a path, else the first executable of that name in
// `directories`; and the same with its links resolved, as /proc shows it.
std::vector<std::string> programPaths(const std::string& program,
                                      const std::vector<std::string>& directories) {
  std::string found;
  if (program.find('/') != std::string::npos) {
    found = program;
  } else {
    for (const auto& directory : directories) {
      const std::string candidate = directory + "/" + program;
      struct stat info {};
      if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        found = candidate;
        break;
      }
    }
  }
  if (found.empty()) return {};
  std::vector<std::string> paths{found};
  if (char* resolved = ::realpath(found.c_str(), nullptr)) {
    if (found != resolved) paths.emplace_back(resolved);
    std::free(resolved);
  }
  return paths;
}

std::vector<std::string> absoluteDirectories(std::string_view list) {
  std::vector<std::string> directories;
  while (!list.empty()) {
    auto colon = list.find(':');
    std::string_view dir = list.substr(0, colon);
    list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
    if (dir.starts_with("/")) directories.emplace_back(dir);
  }
  return directories;
}

std::string_view trimmed(std::string_view text) {
  auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<ApplicationUnit> applicationUnitFromCgroup(std::string_view cgroupFile) {
  // The unified hierarchy's line "0::<path>", else systemd's own v1 hierarchy.
  std::string_view path;
  bool found = false;
  while (!cgroupFile.empty()) {
    auto end = cgroupFile.find('\n');
    std::string_view line = cgroupFile.substr(0, end);
    cgroupFile = end == std::string_view::npos ? std::string_view{} : cgroupFile.substr(end + 1);
    if (line.starts_with("0::")) {
      path = line.substr(3);
      found = true;
      break;
    }
    if (auto at = line.find(":name=systemd:"); at != std::string_view::npos && !found) {
      path = line.substr(at + 14);
      found = true;
    }
  }
  // The innermost application unit decides.
  while (!path.empty()) {
    auto slash = path.find_last_of('/');
    std::string_view component = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (auto unit = applicationUnitFromUnit(component)) return unit;
    if (slash == std::string_view::npos) break;
    path = path.substr(0, slash);
  }
  return std::nullopt;
}

bool isValidUTF8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t point;
    if (c < 0x80) {
      length = 1;
      point = c;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2;
      point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      point = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

DesktopEntry parseDesktopEntry(std::string_view contents) {
  std::string_view plain, chinese, simplifiedChinese, exec;
  bool execFound = false;
  bool inEntry = false;
  while (!contents.empty()) {
    auto end = contents.find('\n');
    std::string_view line = trimmed(contents.substr(0, end));
    contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
    if (line.starts_with("[")) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry || line.starts_with("#")) continue;
    auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = trimmed(line.substr(0, equals));
    std::string_view value = trimmed(line.substr(equals + 1));
    // The first occurrence of a key counts.
    if (key == "Name" && plain.empty())
      plain = value;
    else if (key == "Name[zh]" && chinese.empty())
      chinese = value;
    else if (key == "Name[zh_CN]" && simplifiedChinese.empty())
      simplifiedChinese = value;
    else if (key == "Exec" && !execFound)
      exec = value, execFound = true;
  }
  DesktopEntry entry;
  for (std::string_view name : {simplifiedChinese, chinese, plain}) {
    if (!name.empty() && isValidUTF8(name) && name.find('\0') == std::string_view::npos) {
      entry.name = std::string(name);
      break;
    }
  }
  if (exec.find('\0') == std::string_view::npos) entry.program = execProgram(exec);
  return entry;
}

bool isApplicationProgram(const ApplicationUnit& unit, std::string_view executable,
                          const std::vector<std::string>& programPaths) {
  switch (unit.sandbox) {
    case Sandbox::flatpak:
      return true;
    case Sandbox::snap:
      return executable.starts_with("/snap/" + unit.snap + "/");
    case Sandbox::none:
      break;
  }
  return std::find(programPaths.begin(), programPaths.end(), executable) != programPaths.end();
}

std::vector<std::string> applicationDirectories() {
  std::vector<std::string> directories;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && dataHome[0] == '/')
    directories.push_back(std::string(dataHome) + "/applications");
  else if (home != nullptr && home[0] == '/')
    directories.push_back(std::string(home) + "/.local/share/applications");
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  for (auto& dir : absoluteDirectories(
           dataDirs != nullptr && dataDirs[0] != '\0' ? dataDirs : "/usr/local/share:/usr/share"))
    directories.push_back(dir + "/applications");
  return directories;
}

std::vector<std::string> programDirectories() {
  const char* path = std::getenv("PATH");
  return absoluteDirectories(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
}

const DesktopApplications::Application& DesktopApplications::application(const std::string& id) {
  if (auto found = applications_.find(id); found != applications_.end()) return found->second;
  Application application;
  for (const auto& directory : entryDirectories_) {
    // A FIFO named like an entry would stall the sampler; this read refuses anything but a regular file.
    const sysfs::TextRead file = sysfs::readFile(directory + "/" + id + ".desktop", kLongestDesktopEntry);
    if (file.status != sysfs::ReadStatus::ok) continue;
    application.entry = parseDesktopEntry(file.text);
    break;
  }
  if (application.entry.program)
    application.programPaths = programPaths(*application.entry.program, programDirectories_);
  return applications_.emplace(id, std::move(application)).first->second;
}

std::optional<std::string> DesktopApplications::name(const std::string& id) {
  return application(id).entry.name;
}

bool DesktopApplications::runsOwnProgram(const ApplicationUnit& unit, const std::string& executable) {
  return isApplicationProgram(unit, executable, application(unit.id).programPaths);
}

}  // namespace wattline
