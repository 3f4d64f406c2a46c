// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/identity.h"

struct sd_bus;

namespace wattline {

// One counter as the energy service read it.
struct ServiceCounter {
  std::string zone;  // its entry in class/powercap, "intel-rapl:0"
  std::int64_t microjoules = 0;
  std::optional<std::int64_t> maxRange;
};

// The service's read: its counters and when it read them, on the monotonic clock.
struct ServiceReading {
  std::int64_t readAtNanoseconds = 0;
  std::vector<ServiceCounter> counters;
};

// What the service answered, or why it did not ("not available (org.freedesktop.DBus.Error.ServiceUnknown)").
struct ServiceAnswer {
  std::optional<ServiceReading> reading;
  std::string problem;
};

// The wattline-energyd service on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the standard socket) or on
// the bus at `address`. One connection serves every call, from any thread; it is made at the first call and
// made again after it broke. After a failure the service is asked again only once kRetryInterval seconds
// have passed; until then that failure is the answer, so a machine without the service pays nothing for it.
class EnergyServiceClient {
 public:
  static constexpr double kRetryInterval = 10.0;
  // Long enough for the bus to start the service on the first call; a sample is never held up longer.
  static constexpr std::uint64_t kTimeoutMicroseconds = 500'000;

  explicit EnergyServiceClient(std::shared_ptr<const Clock> clock, std::string address = {});
  ~EnergyServiceClient();
  EnergyServiceClient(const EnergyServiceClient&) = delete;
  EnergyServiceClient& operator=(const EnergyServiceClient&) = delete;

  ServiceAnswer read();

 private:
  ServiceAnswer call();
  void disconnect();

  std::mutex lock_;
  std::shared_ptr<const Clock> clock_;
  std::string address_;
  sd_bus* bus_ = nullptr;
  std::optional<double> failedAt_;  // monotonic
  std::string failure_;
};

}  // namespace wattline
