// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

namespace wattline::energyd {

struct ServiceOptions {
  std::string busAddress;  // empty: the system bus
  std::string sysfsRoot = "/sys";
  std::int64_t idleNanoseconds = 60'000'000'000;
};

// Owns the service's name on the bus and answers Read until no call came for `idleNanoseconds`; a call that
// arrives after that starts the service anew through D-Bus activation. Returns the exit status; why it
// failed goes to standard error (the journal, under systemd).
int serve(const ServiceOptions& options);

}  // namespace wattline::energyd
