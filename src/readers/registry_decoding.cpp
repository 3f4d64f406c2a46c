// Decoding of the battery controller's property table into a snapshot.
// The registry reports millivolts, milliamperes and milliwatts; a positive
// battery current means energy flows into the battery.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/power_snapshot.h"

namespace wattline {

namespace {

const PropertyValue* find(const PropertyTable& table, std::string_view key) {
  auto it = table.find(key);
  return it == table.end() ? nullptr : &it->second;
}

// A number that is finite, not negative and at most `max`.
std::optional<double> number(const PropertyTable& table, std::string_view key, double max) {
  const PropertyValue* value = find(table, key);
  if (!value) return std::nullopt;
  auto d = value->doubleValue();
  if (!d || !std::isfinite(*d) || *d < 0 || *d > max) return std::nullopt;
  return d;
}

// Currents come as unsigned 64-bit numbers; a 32-bit two's-complement value
// stored without sign extension is turned back into its negative reading.
std::optional<double> signedCurrent(const PropertyTable& table, std::string_view key) {
  const PropertyValue* value = find(table, key);
  if (!value) return std::nullopt;
  auto bits = value->uint64Bits();
  if (!bits) return std::nullopt;
  std::int64_t milliamps;
  if (*bits >= (1ULL << 31) && *bits < (1ULL << 32))
    milliamps = static_cast<std::int32_t>(static_cast<std::uint32_t>(*bits));
  else
    milliamps = static_cast<std::int64_t>(*bits);
  if (milliamps < -30000 || milliamps > 30000) return std::nullopt;
  return static_cast<double>(milliamps);
}

const PropertyTable& nested(const PropertyTable& table, std::string_view key) {
  static const PropertyTable empty;
  const PropertyValue* value = find(table, key);
  const PropertyTable* inner = value ? value->table() : nullptr;
  return inner ? *inner : empty;
}

}  // namespace

PowerSnapshot PowerSnapshot::parse(const PropertyTable& table, Date now) {
  PowerSnapshot s;
  s.timestamp = now;
  s.available = !table.empty();

  const PropertyValue* installed = find(table, "BatteryInstalled");
  s.batteryInstalled = installed && installed->boolean() ? *installed->boolean() : table.count("Voltage") > 0;
  const PropertyValue* external = find(table, "ExternalConnected");
  s.externalConnected = external && external->boolean() ? *external->boolean() : false;

  const PropertyTable& telemetry = nested(table, "PowerTelemetryData");
  const PropertyTable& adapter = nested(table, "AdapterDetails");

  // Stamps before 2001 are unset clocks; more than 5 s ahead is a clock we cannot trust.
  if (const PropertyValue* update = find(table, "UpdateTime")) {
    auto t = update->doubleValue();
    if (t && std::isfinite(*t) && *t > 978307200.0 && *t <= secondsSince1970(now) + 5) {
      Date stamp = dateFromSeconds(*t);
      s.batteryUpdatedAt = s.inputUpdatedAt = s.systemUpdatedAt = stamp;
    }
  }

  if (s.batteryInstalled) {
    auto current = number(table, "CurrentCapacity", 1'000'000);
    auto maximum = number(table, "MaxCapacity", 1'000'000);
    if (current && maximum && *maximum > 0) s.percent = std::min(*current / *maximum * 100, 100.0);
    if (auto v = number(table, "Voltage", 100'000); v && *v > 0) s.batteryVolts = *v / 1000;
    auto amps = signedCurrent(table, "InstantAmperage");
    if (!amps) amps = signedCurrent(table, "Amperage");
    if (amps) {
      s.batteryAmps = *amps / 1000;
      if (s.batteryVolts) s.batteryWatts = *s.batteryAmps * *s.batteryVolts;
    }
  }

  if (s.externalConnected) {
    if (auto w = number(adapter, "Watts", 1000); w && *w > 0) s.adapterRatedWatts = w;
    if (auto v = number(telemetry, "SystemVoltageIn", 100'000); v && *v > 0) s.inputVolts = *v / 1000;
    if (auto a = number(telemetry, "SystemCurrentIn", 30'000)) s.inputAmps = *a / 1000;
    if (auto p = number(telemetry, "SystemPowerIn", 1'000'000)) {
      s.inputWatts = *p / 1000;
      if (!s.inputAmps && s.inputVolts) {
        s.inputAmps = *s.inputWatts / *s.inputVolts;
        s.inputAmpsEstimated = true;
      }
    } else if (s.inputAmps && s.inputVolts) {
      s.inputWatts = *s.inputVolts * *s.inputAmps;
      s.inputWattsEstimated = true;
    }
  } else {
    s.inputAmps = 0.0;
    s.inputWatts = 0.0;
  }

  if (auto load = number(telemetry, "SystemLoad", 1'000'000)) {
    s.systemWatts = *load / 1000;
  } else if (!(s.externalConnected && !s.inputWatts)) {
    double input = s.externalConnected ? *s.inputWatts : 0.0;
    if (s.batteryWatts) {
      s.systemWatts = std::max(input - *s.batteryWatts, 0.0);
      s.systemEstimated = true;
    } else if (!s.batteryInstalled) {
      s.systemWatts = input;
      s.systemEstimated = true;
    }
  }
  return s;
}

}  // namespace wattline
