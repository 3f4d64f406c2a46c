// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace wattline::testing {

// A private message bus shaped like the system bus (tests/fixtures/system-bus.conf) with the energy service's
// own policy, in a directory of its own that every user may enter, so that a test may connect as another
// user. With `sysfsRoot`, the service built here is activatable on it over that tree, exiting after
// `idleExit` seconds without a call when given. The bus, and with it the service, ends with the object.
class PrivateSystemBus {
 public:
  explicit PrivateSystemBus(std::optional<std::string> sysfsRoot = std::nullopt,
                            std::optional<double> idleExit = std::nullopt);
  ~PrivateSystemBus();
  PrivateSystemBus(const PrivateSystemBus&) = delete;
  PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

  // The address to hand clients ("unix:path=…"); it stays the same across a restart.
  std::string address() const { return "unix:path=" + directory_ + "/system_bus_socket"; }
  // Stops the bus and waits until it has gone; start() brings it back at the same address.
  void stop();
  void start();
  // The process that owns the service's name now, if any (asked with dbus-send).
  std::optional<int> servicePid() const;

 private:
  std::string directory_;
  int pid_ = 0;
};

}  // namespace wattline::testing
