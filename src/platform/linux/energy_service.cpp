// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/energy_service.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/linux/energy_service_names.h"

namespace wattline {

namespace {

std::string describe(int r) {
  // strerror is not safe beside the other readers' threads; the description is.
  const char* description = strerrordesc_np(-r);
  return description ? description : "error " + std::to_string(-r);
}

struct ErrorGuard {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~ErrorGuard() { sd_bus_error_free(&error); }
};

using Message = std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)>;

// The reply's counters, or a negative errno when it is not the shape Read promises.
int parse(sd_bus_message* reply, ServiceReading& reading) {
  std::uint64_t readAt = 0;
  int r = sd_bus_message_read(reply, "t", &readAt);
  if (r < 0) return r;
  reading.readAtNanoseconds = static_cast<std::int64_t>(readAt);
  if ((r = sd_bus_message_enter_container(reply, 'a', "(stt)")) < 0) return r;
  const char* zone = nullptr;
  std::uint64_t microjoules = 0, maxRange = 0;
  while ((r = sd_bus_message_read(reply, "(stt)", &zone, &microjoules, &maxRange)) > 0) {
    // Beyond 63 bits a value is no counter the kernel keeps.
    if (microjoules > INT64_MAX || maxRange > INT64_MAX) return -EBADMSG;
    ServiceCounter counter{zone, static_cast<std::int64_t>(microjoules), std::nullopt};
    if (maxRange > 0) counter.maxRange = static_cast<std::int64_t>(maxRange);
    reading.counters.push_back(std::move(counter));
  }
  if (r < 0) return r;
  return sd_bus_message_exit_container(reply);
}

}  // namespace

EnergyServiceClient::EnergyServiceClient(std::shared_ptr<const Clock> clock, std::string address)
    : clock_(std::move(clock)), address_(std::move(address)) {}

EnergyServiceClient::~EnergyServiceClient() {
  disconnect();
}

void EnergyServiceClient::disconnect() {
  bus_ = sd_bus_flush_close_unref(bus_);
}

ServiceAnswer EnergyServiceClient::read() {
  std::lock_guard guard(lock_);
  const double now = clock_->uptime();
  if (failedAt_ && now - *failedAt_ < kRetryInterval && now >= *failedAt_) return {std::nullopt, failure_};
  ServiceAnswer answer = call();
  if (answer.reading) {
    failedAt_.reset();
  } else {
    failedAt_ = now;
    failure_ = answer.problem;
  }
  return answer;
}

ServiceAnswer EnergyServiceClient::call() {
  int r = 0;
  if (!bus_) {
    if (address_.empty()) {
      r = sd_bus_open_system(&bus_);
    } else if ((r = sd_bus_new(&bus_)) >= 0 && (r = sd_bus_set_address(bus_, address_.c_str())) >= 0 &&
               (r = sd_bus_set_bus_client(bus_, 1)) >= 0) {
      r = sd_bus_start(bus_);
    }
    if (r >= 0) r = sd_bus_set_method_call_timeout(bus_, kTimeoutMicroseconds);
    if (r < 0) {
      disconnect();
      return {std::nullopt, "no system bus (" + describe(r) + ")"};
    }
  }
  ErrorGuard error;
  sd_bus_message* raw = nullptr;
  r = sd_bus_call_method(bus_, kEnergyServiceName, kEnergyServicePath, kEnergyServiceInterface, "Read",
                         &error.error, &raw, "");
  Message reply(raw, sd_bus_message_unref);
  if (r < 0) {
    std::string why = error.error.name ? error.error.name : describe(r);
    // A connection that broke is made again at the next attempt.
    if (sd_bus_is_open(bus_) <= 0) disconnect();
    return {std::nullopt, "not available (" + why + ")"};
  }
  ServiceReading reading;
  if ((r = parse(reply.get(), reading)) < 0) return {std::nullopt, "malformed reply (" + describe(r) + ")"};
  return {std::move(reading), {}};
}

}  // namespace wattline
