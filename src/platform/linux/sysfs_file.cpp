// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/sysfs_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>
#include <string_view>

namespace wattline::sysfs {

namespace {

constexpr std::string_view kSpace = " \t\n\r\v\f";

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

ReadStatus statusOf(int error) {
  return error == ENOENT || error == ENOTDIR ? ReadStatus::missing : ReadStatus::failed;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// "hwmon2" before "hwmon10": runs of digits compare by value.
bool naturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      auto ei = i, ej = j;
      while (ei < a.size() && isDigit(a[ei])) ++ei;
      while (ej < b.size() && isDigit(b[ej])) ++ej;
      auto da = a.substr(i, ei - i), db = b.substr(j, ej - j);
      while (da.size() > 1 && da.front() == '0') da.remove_prefix(1);
      while (db.size() > 1 && db.front() == '0') db.remove_prefix(1);
      if (da.size() != db.size()) return da.size() < db.size();
      if (da != db) return da < db;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

TextRead readFile(const std::string& path, std::size_t limit) {
  // Opening a FIFO for reading would wait for a writer; without blocking it
  // opens at once and is then refused, like any file that is not regular.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return {statusOf(error), {}, error};
  }
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    return {statusOf(error), {}, error};
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    // No attribute a driver answers; a directory says so in its own words.
    const int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    return {ReadStatus::failed, {}, error};
  }
  std::string contents(limit, '\0');
  std::size_t used = 0;
  int readError = 0;
  while (used < limit) {
    const ssize_t got = ::read(fd, contents.data() + used, limit - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readError = errno;
    if (got <= 0) break;
    used += static_cast<std::size_t>(got);
  }
  // Closing a descriptor only read from loses nothing, whatever it returns.
  ::close(fd);
  if (readError != 0) return {statusOf(readError), {}, readError};
  contents.resize(used);
  return {ReadStatus::ok, std::move(contents), 0};
}

TextRead readText(const std::string& path) {
  TextRead read = readFile(path, 4096);
  if (read.status == ReadStatus::ok) read.text = std::string(trim(read.text));
  return read;
}

std::optional<std::string> text(const std::string& path) {
  auto read = readText(path);
  if (read.status != ReadStatus::ok) return std::nullopt;
  return std::move(read.text);
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
  text = trim(text);
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> integer(const std::string& path) {
  const auto read = readText(path);
  if (read.status != ReadStatus::ok) return std::nullopt;
  return parseInteger(read.text);
}

IntegerRead readInteger(const std::string& path) {
  const auto read = readText(path);
  if (read.status != ReadStatus::ok) return {std::nullopt, UnavailableReason::fromError(read.error, path)};
  if (auto value = parseInteger(read.text)) return {value, std::nullopt};
  return {std::nullopt, UnavailableReason{UnavailableReason::Kind::malformed,
                                          path + " (\"" + read.text.substr(0, 32) + "\")"}};
}

std::optional<std::string> linkName(const std::string& path) {
  char target[4096];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return std::nullopt;
  const std::string_view text(target, static_cast<std::size_t>(length));
  return std::string(text.substr(text.find_last_of('/') + 1));
}

std::vector<std::string> list(const std::string& path) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
  if (!dir) return names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  // A listing cut short by an error is not the directory's content.
  if (errno != 0) return {};
  std::sort(names.begin(), names.end(), naturalLess);
  return names;
}

}  // namespace wattline::sysfs
