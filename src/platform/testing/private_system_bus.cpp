// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/private_system_bus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace wattline::testing {

namespace {

namespace fs = std::filesystem;

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) throw std::runtime_error("cannot read " + path);
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string replaced(std::string text, const std::string& placeholder, const std::string& value) {
  for (auto at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size()))
    text.replace(at, placeholder.size(), value);
  return text;
}

}  // namespace

PrivateSystemBus::PrivateSystemBus(std::optional<std::string> sysfsRoot, std::optional<double> idleExit) {
  std::string pattern = (fs::temp_directory_path() / "wattline-bus-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  const fs::path directory = directory_;
  fs::create_directories(directory / "system.d");
  fs::create_directories(directory / "services");
  fs::permissions(directory, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::copy_file(WATTLINE_PACKAGING "/local.wattline.EnergyCounters1.conf",
                directory / "system.d/local.wattline.EnergyCounters1.conf");
  if (sysfsRoot) {
    std::string command = "/usr/bin/env WATTLINE_SYSFS_ROOT=\"" + *sysfsRoot + "\" \"" WATTLINE_ENERGYD "\"";
    if (idleExit) command += " --idle-exit " + std::to_string(*idleExit);
    writeFile(directory / "services/local.wattline.EnergyCounters1.service",
              replaced(fileText(WATTLINE_PACKAGING "/local.wattline.EnergyCounters1.service.in"),
                       "@WATTLINE_ENERGYD_COMMAND@", command));
  }
  writeFile(directory / "bus.conf",
            replaced(fileText(WATTLINE_SYSTEM_BUS_CONFIG), "@DIRECTORY@", directory_));
  start();
}

PrivateSystemBus::~PrivateSystemBus() {
  stop();
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void PrivateSystemBus::start() {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  // Everything the child needs is made before fork: a threaded parent's child may only exec.
  const std::string config = "--config-file=" + directory_ + "/bus.conf";
  const std::string print = "--print-address=" + std::to_string(ready[1]);
  const int pid = ::fork();
  if (pid == 0) {
    ::fcntl(ready[1], F_SETFD, 0);
    ::execlp("dbus-daemon", "dbus-daemon", "--nofork", config.c_str(), print.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(ready[1]);
  // The bus prints its address once it listens; end of file without it means it did not start.
  char buffer[512];
  const ssize_t got = pid > 0 ? ::read(ready[0], buffer, sizeof buffer) : -1;
  ::close(ready[0]);
  pid_ = pid > 0 ? pid : 0;
  if (got <= 0) {
    stop();
    throw std::runtime_error("dbus-daemon did not start");
  }
}

void PrivateSystemBus::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
}

std::optional<int> PrivateSystemBus::servicePid() const {
  const std::string command = "dbus-send --bus='" + address() +
                              "' --print-reply=literal --dest=org.freedesktop.DBus / "
                              "org.freedesktop.DBus.GetConnectionUnixProcessID "
                              "string:local.wattline.EnergyCounters1 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run dbus-send");
  std::string reply;
  char buffer[256];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) reply.append(buffer, got);
  // "uint32 1234" when the name has an owner; an error on standard error when it has none.
  int pid = 0;
  if (::pclose(pipe) != 0 || std::sscanf(reply.c_str(), " uint32 %d", &pid) != 1) return std::nullopt;
  return pid;
}

}  // namespace wattline::testing
