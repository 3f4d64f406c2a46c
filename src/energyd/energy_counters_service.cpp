// SPDX-License-Identifier: GPL-3.0-or-later

#include "energyd/energy_counters_service.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "energyd/counter_share.h"
#include "energyd/powercap_counters.h"
#include "platform/linux/energy_service_names.h"

namespace wattline::energyd {

namespace {

struct Service {
  std::string sysfsRoot;
  CounterShare share;
  std::int64_t lastCall = 0;
};

// CLOCK_MONOTONIC, the time base the callers measure intervals with.
std::int64_t monotonicNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

using Message = std::unique_ptr<sd_bus_message, decltype(&sd_bus_message_unref)>;

int appendRead(sd_bus_message* reply, const CountersRead& read) {
  int r = sd_bus_message_append(reply, "t", static_cast<std::uint64_t>(read.readAtNanoseconds));
  if (r < 0) return r;
  if ((r = sd_bus_message_open_container(reply, 'a', "(stt)")) < 0) return r;
  for (const auto& counter : read.counters) {
    r = sd_bus_message_append(reply, "(stt)", counter.zone.c_str(), counter.microjoules, counter.maxRange);
    if (r < 0) return r;
  }
  return sd_bus_message_close_container(reply);
}

int onRead(sd_bus_message* call, void* userdata, sd_bus_error*) {
  auto& service = *static_cast<Service*>(userdata);
  service.lastCall = monotonicNow();
  const CountersRead& read = service.share.answer(
      service.lastCall, [&](std::int64_t at) { return readPowercap(service.sysfsRoot, at); });
  sd_bus_message* raw = nullptr;
  int r = sd_bus_message_new_method_return(call, &raw);
  if (r < 0) return r;
  Message reply(raw, sd_bus_message_unref);
  if ((r = appendRead(reply.get(), read)) < 0) return r;
  // A negative return makes sd-bus answer the caller with that error.
  r = sd_bus_send(nullptr, reply.get(), nullptr);
  return r < 0 ? r : 1;
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("Read", SD_BUS_NO_ARGS, SD_BUS_RESULT("t", readAtMonotonicNs, "a(stt)", counters),
                            onRead, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

int fail(const char* what, int r) {
  std::fprintf(stderr, "wattline-energyd: %s: %s\n", what, std::strerror(-r));
  return 1;
}

int connect(const std::string& address, sd_bus** bus) {
  if (address.empty()) return sd_bus_open_system(bus);
  int r = sd_bus_new(bus);
  if (r < 0) return r;
  if ((r = sd_bus_set_address(*bus, address.c_str())) < 0) return r;
  if ((r = sd_bus_set_bus_client(*bus, 1)) < 0) return r;
  return sd_bus_start(*bus);
}

}  // namespace

int serve(const ServiceOptions& options) {
  Service service{options.sysfsRoot, {}, monotonicNow()};
  sd_bus* raw = nullptr;
  int r = connect(options.busAddress, &raw);
  std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> bus(raw, sd_bus_flush_close_unref);
  if (r < 0) return fail("cannot connect to the bus", r);
  r = sd_bus_add_object_vtable(bus.get(), nullptr, kEnergyServicePath, kEnergyServiceInterface, kVtable,
                               &service);
  if (r < 0) return fail("cannot add the object", r);
  if ((r = sd_bus_request_name(bus.get(), kEnergyServiceName, 0)) < 0)
    return fail("cannot own the name local.wattline.EnergyCounters1", r);

  for (;;) {
    if ((r = sd_bus_process(bus.get(), nullptr)) < 0) return fail("lost the bus", r);
    if (r > 0) continue;
    const std::int64_t left = idleTimeLeft(service.lastCall, monotonicNow(), options.idleNanoseconds);
    if (left == 0) break;
    if ((r = sd_bus_wait(bus.get(), static_cast<std::uint64_t>(left) / 1000 + 1)) < 0 && r != -EINTR)
      return fail("cannot wait for the bus", r);
  }
  // Calls the bus routed here before the name was given up are still answered; later ones start a new copy.
  if ((r = sd_bus_release_name(bus.get(), kEnergyServiceName)) < 0) return fail("cannot release the name", r);
  while ((r = sd_bus_process(bus.get(), nullptr)) > 0) {
  }
  if (r < 0) return fail("lost the bus", r);
  return 0;
}

}  // namespace wattline::energyd
