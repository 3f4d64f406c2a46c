#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/date.h"
#include "platform/identity.h"
#include "readers/property_table.h"

namespace wattline {

// The attributes of one class/power_supply entry that the readers use, in the
// kernel's units (µV, µA, µW, µWh, µAh, percent). Absent when unreadable or malformed.
struct SupplyEntry {
  std::string name;
  std::string type;  // "Battery", "Mains", "USB", "Wireless"
  std::optional<std::string> status;
  std::optional<std::string> usbType;
  std::optional<std::int64_t> present;
  std::optional<std::int64_t> online;
  std::optional<std::int64_t> voltageNow;
  std::optional<std::int64_t> currentNow;
  std::optional<std::int64_t> powerNow;
  std::optional<std::int64_t> capacity;
  std::optional<std::int64_t> energyNow;
  std::optional<std::int64_t> energyFull;
  std::optional<std::int64_t> chargeNow;
  std::optional<std::int64_t> chargeFull;
  std::optional<std::int64_t> voltageMax;
  std::optional<std::int64_t> currentMax;

  bool isBattery() const { return type == "Battery"; }
  // A supply that powers the machine from outside: mains, USB or wireless charging.
  bool isExternal() const { return type == "Mains" || type == "USB" || type == "Wireless"; }
  // A USB-C connector managed through UCSI: its current is the negotiated contract, not a measurement.
  bool isUsbC() const;
};

// The system's supplies under `sysfsRoot`/class/power_supply, in name order.
// Devices' own batteries (scope "Device") and types the readers do not use are left out.
std::vector<SupplyEntry> readPowerSupplies(const std::string& sysfsRoot);

// The entries turned into the battery controller's property table (keys and
// units of the registry decoding), or nothing when there is no entry at all.
std::optional<PropertyTable> batteryPropertyTable(const std::vector<SupplyEntry>& entries, Date readAt);

// "AC Power" with an online external supply, "Battery Power" with a battery and
// no external supply online, otherwise nothing.
std::optional<std::string> providingSourceType(const std::vector<SupplyEntry>& entries);

// The system batteries' summed current in mA (positive = charging), and the voltage in mV that makes
// that current their summed power: the current-weighted mean of their voltages (the plain mean when the
// currents cancel out). Nothing unless every battery has a usable reading.
std::optional<std::int64_t> batteryMilliamps(const std::vector<SupplyEntry>& entries);
std::optional<double> batteryMillivolts(const std::vector<SupplyEntry>& entries);

// Reads the supplies once per sample: `fresh` always reads, `recent` reuses a
// read younger than half a second. Not thread-safe; the power reader serialises it.
class PowerSupplyScanner {
 public:
  static constexpr double kReuseSeconds = 0.5;

  PowerSupplyScanner(std::string sysfsRoot, const Clock& clock);
  const std::vector<SupplyEntry>& fresh();
  const std::vector<SupplyEntry>& recent();
  // The wall-clock time of the latest read.
  Date readAt() const { return readAt_; }

 private:
  std::string root_;
  const Clock& clock_;
  std::vector<SupplyEntry> entries_;
  std::optional<double> readUptime_;
  Date readAt_ = kDistantPast;
};

}  // namespace wattline
