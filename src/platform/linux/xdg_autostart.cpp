#include "platform/linux/xdg_autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace wattline {

namespace {

std::string trimmed(const std::string& text) {
  auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string systemError(const std::string& what, int error) {
  return what + "：" + std::strerror(error);
}

// The program an Exec value starts: its first argument, with the string
// escapes and the quoting undone. Nothing when a quote is left open.
std::optional<std::string> execProgram(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      c = value[++i];
      c = c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    text += c;
  }
  if (!text.starts_with('"')) return text.substr(0, text.find(' '));
  std::string program;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') return program;
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    program += text[i];
  }
  return std::nullopt;
}

}  // namespace

XdgAutostart::XdgAutostart(std::string directory, std::string fileName)
    : directory_(std::move(directory)), fileName_(std::move(fileName)) {}

std::string XdgAutostart::defaultDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/autostart";
  return {};
}

std::string XdgAutostart::runningExecutable(const std::string& link) {
  std::error_code error;
  std::string path = std::filesystem::read_symlink(link, error).string();
  if (error || !path.starts_with('/')) return {};
  // The kernel marks a program whose file was replaced or removed; the path is where it was started from.
  constexpr std::string_view deleted = " (deleted)";
  if (path.ends_with(deleted) && !std::filesystem::exists(path, error))
    path.resize(path.size() - deleted.size());
  return path;
}

bool XdgAutostart::startsProgram(const std::string& executable) const {
  std::ifstream file(path());
  if (!file) return false;
  bool inEntry = false;
  std::optional<std::string> program;
  std::string line;
  while (std::getline(file, line)) {
    line = trimmed(line);
    if (line.starts_with("[")) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = trimmed(line.substr(0, equals));
    std::string value = trimmed(line.substr(equals + 1));
    // Desktops switch an entry off without deleting it.
    if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
      return false;
    if (key == "Exec") program = execProgram(value);
  }
  return program == executable;
}

std::string autostartEntry(const std::string& executable) {
  // Exec quoting: \ " ` $ are escaped inside double quotes, then every backslash is
  // escaped again as a string value.
  std::string quoted = "\"";
  for (char c : executable) {
    if (c == '"' || c == '`' || c == '$')
      quoted += "\\\\";
    else if (c == '\\')
      quoted += "\\\\\\";
    quoted += c;
  }
  quoted += "\"";
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=瓦迹\n"
         "Comment=实时功耗与供电流向\n"
         "Exec=" +
         quoted +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> XdgAutostart::write(const std::string& executable) const {
  if (directory_.empty()) return "找不到自启动目录（HOME 与 XDG_CONFIG_HOME 均未设置）";
  if (executable.find_first_of("\n\r") != std::string::npos) return "程序路径含有换行符，无法写入自启动项";
  // GLib-based launchers look for a program named with the "%%" of the Exec
  // key's escaping and never start it.
  if (executable.find('%') != std::string::npos)
    return "程序路径含有“%”，桌面环境无法从自启动项启动它。请把程序放到路径不含“%”的位置后再试。";
  std::error_code error;
  std::filesystem::create_directories(directory_, error);
  if (error) return "无法创建目录 " + directory_ + "：" + error.message();

  // Written beside the entry and renamed over it, so a failed write never leaves half an entry.
  std::string temporary = path() + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return systemError("无法写入 " + temporary, errno);
  std::string text = autostartEntry(executable);
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t done = ::write(fd, text.data() + written, text.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) {
      int saved = errno;
      close(fd);
      unlink(temporary.c_str());
      return systemError("无法写入 " + temporary, saved);
    }
    written += static_cast<std::size_t>(done);
  }
  int syncError = fsync(fd) == 0 ? 0 : errno;
  if (close(fd) != 0 && syncError == 0) syncError = errno;
  if (syncError != 0) {
    unlink(temporary.c_str());
    return systemError("无法写入 " + temporary, syncError);
  }
  if (rename(temporary.c_str(), path().c_str()) != 0) {
    int saved = errno;
    unlink(temporary.c_str());
    return systemError("无法写入 " + path(), saved);
  }
  return std::nullopt;
}

std::optional<std::string> XdgAutostart::remove() const {
  if (directory_.empty()) return std::nullopt;
  if (unlink(path().c_str()) != 0 && errno != ENOENT) return systemError("无法删除 " + path(), errno);
  return std::nullopt;
}

}  // namespace wattline
