#include "platform/linux/power_supply.h"

#include <cmath>
#include <cstdlib>

#include "platform/linux/sysfs_file.h"
#include "platform/power_sources.h"

namespace wattline {

namespace {

// sysfs reports micro-units, the registry milli-units.
std::int64_t milli(std::int64_t micro) {
  return std::llround(static_cast<double>(micro) / 1000.0);
}

// Rounds to an integer; nothing for a value no supply can have (and no integer can hold).
std::optional<std::int64_t> rounded(double value) {
  if (!std::isfinite(value) || std::abs(value) > 1e15) return std::nullopt;
  return std::llround(value);
}

bool isOn(const std::optional<std::int64_t>& flag) {
  return flag && *flag != 0;
}

// A battery counts unless it says it is not present.
bool isSystemBattery(const SupplyEntry& entry) {
  return entry.isBattery() && !(entry.present && *entry.present == 0);
}

std::vector<const SupplyEntry*> systemBatteries(const std::vector<SupplyEntry>& entries) {
  std::vector<const SupplyEntry*> batteries;
  for (const auto& entry : entries) {
    if (isSystemBattery(entry)) batteries.push_back(&entry);
  }
  return batteries;
}

// One battery's flow in the kernel's units, positive while charging. Each quantity comes from the
// driver's own attribute or from the two others: drivers report current or power, mostly with a voltage.
struct BatteryFlow {
  std::optional<double> microamps;
  std::optional<double> microwatts;
  std::optional<double> microvolts;
};

BatteryFlow flowOf(const SupplyEntry& battery) {
  const auto amps =
      battery.currentNow ? std::optional(std::abs(static_cast<double>(*battery.currentNow))) : std::nullopt;
  const auto watts =
      battery.powerNow ? std::optional(std::abs(static_cast<double>(*battery.powerNow))) : std::nullopt;
  const auto volts = battery.voltageNow && *battery.voltageNow > 0
                         ? std::optional(static_cast<double>(*battery.voltageNow))
                         : std::nullopt;
  BatteryFlow flow;
  flow.microamps = amps ? amps : watts && volts ? std::optional(*watts / *volts * 1e6) : std::nullopt;
  flow.microwatts = amps && volts ? std::optional(*amps * *volts / 1e6) : watts;
  flow.microvolts = volts                        ? volts
                    : amps && watts && *amps > 0 ? std::optional(*watts / *amps * 1e6)
                                                 : std::nullopt;
  // Drivers disagree on the sign, so the status decides it when it is known.
  const auto raw = battery.currentNow ? battery.currentNow : battery.powerNow;
  const bool negative =
      battery.status == "Discharging" || (battery.status != "Charging" && raw.value_or(0) < 0);
  const double sign = negative ? -1.0 : 1.0;
  if (flow.microamps) *flow.microamps *= sign;
  if (flow.microwatts) *flow.microwatts *= sign;
  return flow;
}

void putCapacity(PropertyTable& table, const std::vector<const SupplyEntry*>& batteries) {
  const auto every = [&](auto has) {
    for (const auto* battery : batteries) {
      if (!has(*battery)) return false;
    }
    return true;
  };
  const bool capacity = every([](const SupplyEntry& b) { return b.capacity.has_value(); });
  const bool energy = every([](const SupplyEntry& b) { return b.energyNow && b.energyFull; });
  const bool charge = every([](const SupplyEntry& b) { return b.chargeNow && b.chargeFull; });

  if (batteries.size() == 1 && capacity) {
    table.emplace("CurrentCapacity", *batteries.front()->capacity);
    table.emplace("MaxCapacity", 100);
    return;
  }
  const auto sums = [&](auto now, auto full) {
    double current = 0, max = 0;
    for (const auto* battery : batteries) {
      current += static_cast<double>(milli(*(battery->*now)));
      max += static_cast<double>(milli(*(battery->*full)));
    }
    table.emplace("CurrentCapacity", current);
    table.emplace("MaxCapacity", max);
  };
  if (energy) return sums(&SupplyEntry::energyNow, &SupplyEntry::energyFull);
  if (charge) return sums(&SupplyEntry::chargeNow, &SupplyEntry::chargeFull);
  if (capacity) {
    double total = 0;
    for (const auto* battery : batteries) total += static_cast<double>(*battery->capacity);
    table.emplace("CurrentCapacity", total / static_cast<double>(batteries.size()));
    table.emplace("MaxCapacity", 100);
  }
}

// The rated power of a supply in W: its maximum voltage and current, or for a
// USB-C source without a maximum voltage, the negotiated voltage.
std::optional<double> ratedWatts(const SupplyEntry& supply) {
  const auto volts = supply.voltageMax ? supply.voltageMax
                     : supply.isUsbC() ? supply.voltageNow
                                       : std::nullopt;
  if (!volts || !supply.currentMax || *volts <= 0 || *supply.currentMax <= 0) return std::nullopt;
  return static_cast<double>(*volts) * 1e-6 * static_cast<double>(*supply.currentMax) * 1e-6;
}

SupplyEntry readEntry(const std::string& directory, std::string name, std::string type) {
  SupplyEntry e;
  e.name = std::move(name);
  e.type = std::move(type);
  const auto number = [&](const char* attribute) { return sysfs::integer(directory + attribute); };
  if (e.isBattery()) {
    e.present = number("/present");
    e.status = sysfs::text(directory + "/status");
    e.voltageNow = number("/voltage_now");
    e.currentNow = number("/current_now");
    if (!e.currentNow || !e.voltageNow) e.powerNow = number("/power_now");
    e.capacity = number("/capacity");
    e.energyNow = number("/energy_now");
    e.energyFull = number("/energy_full");
    if (!e.energyNow || !e.energyFull) {
      e.chargeNow = number("/charge_now");
      e.chargeFull = number("/charge_full");
    }
  } else {
    e.online = number("/online");
    if (e.type == "USB") e.usbType = sysfs::text(directory + "/usb_type");
    if (isOn(e.online)) {
      e.voltageMax = number("/voltage_max");
      e.currentMax = number("/current_max");
      e.voltageNow = number("/voltage_now");
      e.powerNow = number("/power_now");
    }
  }
  return e;
}

}  // namespace

bool SupplyEntry::isUsbC() const {
  if (type != "USB") return false;
  if (name.starts_with("ucsi-source-psy-")) return true;
  // usb_type lists the connector's modes with the active one in brackets, e.g. "C [PD] PD_PPS".
  return usbType && (usbType->find("[C]") != std::string::npos || usbType->find("[PD") != std::string::npos);
}

std::vector<SupplyEntry> readPowerSupplies(const std::string& sysfsRoot) {
  std::vector<SupplyEntry> entries;
  const std::string base = sysfsRoot + "/class/power_supply/";
  for (auto& name : sysfs::list(base)) {
    const std::string directory = base + name;
    auto type = sysfs::text(directory + "/type");
    if (!type) continue;
    if (*type != "Battery" && *type != "Mains" && *type != "USB" && *type != "Wireless") continue;
    // Mice and keyboards report their own batteries with scope "Device".
    if (sysfs::text(directory + "/scope") == "Device") continue;
    entries.push_back(readEntry(directory, std::move(name), std::move(*type)));
  }
  return entries;
}

std::optional<PropertyTable> batteryPropertyTable(const std::vector<SupplyEntry>& entries, Date readAt) {
  if (entries.empty()) return std::nullopt;
  PropertyTable table;
  const auto batteries = systemBatteries(entries);
  table.emplace("BatteryInstalled", !batteries.empty());

  const SupplyEntry* online = nullptr;
  bool onlineKnown = false;
  for (const auto& entry : entries) {
    if (!entry.isExternal() || !entry.online) continue;
    onlineKnown = true;
    if (*entry.online != 0 && !online) online = &entry;
  }
  if (onlineKnown) table.emplace("ExternalConnected", online != nullptr);

  if (!batteries.empty()) {
    if (const auto volts = batteryMillivolts(entries)) table.emplace("Voltage", *volts);
    if (const auto current = batteryMilliamps(entries)) table.emplace("InstantAmperage", *current);
    putCapacity(table, batteries);
  }

  for (const auto& entry : entries) {
    if (!entry.isExternal() || !isOn(entry.online)) continue;
    if (const auto watts = ratedWatts(entry)) {
      table.emplace("AdapterDetails", PropertyTable{{"Watts", *watts}});
      break;
    }
  }
  for (const auto& entry : entries) {
    if (!entry.isExternal() || !isOn(entry.online) || !entry.powerNow) continue;
    PropertyTable telemetry{{"SystemPowerIn", milli(*entry.powerNow)}};
    if (entry.voltageNow) telemetry.emplace("SystemVoltageIn", milli(*entry.voltageNow));
    table.emplace("PowerTelemetryData", std::move(telemetry));
    break;
  }
  table.emplace("UpdateTime", unixSecond(readAt));
  return table;
}

std::optional<std::string> providingSourceType(const std::vector<SupplyEntry>& entries) {
  bool undetermined = false;
  for (const auto& entry : entries) {
    if (!entry.isExternal()) continue;
    if (isOn(entry.online)) return kACPower;
    if (!entry.online) undetermined = true;
  }
  if (undetermined || systemBatteries(entries).empty()) return std::nullopt;
  return kBatteryPower;
}

std::optional<std::int64_t> batteryMilliamps(const std::vector<SupplyEntry>& entries) {
  const auto batteries = systemBatteries(entries);
  if (batteries.empty()) return std::nullopt;
  double total = 0;
  for (const auto* battery : batteries) {
    const auto current = flowOf(*battery).microamps;
    // A sum missing one battery would be a wrong value, not a partial one.
    if (!current) return std::nullopt;
    total += *current;
  }
  return rounded(total / 1000.0);
}

std::optional<double> batteryMillivolts(const std::vector<SupplyEntry>& entries) {
  const auto batteries = systemBatteries(entries);
  if (batteries.empty()) return std::nullopt;
  double amps = 0, watts = 0, volts = 0;
  bool flowsKnown = true, voltsKnown = true;
  for (const auto* battery : batteries) {
    const auto flow = flowOf(*battery);
    flowsKnown = flowsKnown && flow.microamps && flow.microwatts;
    voltsKnown = voltsKnown && flow.microvolts;
    if (flowsKnown) amps += *flow.microamps, watts += *flow.microwatts;
    if (voltsKnown) volts += *flow.microvolts;
  }
  // The current-weighted mean keeps current × voltage the batteries' summed power.
  if (flowsKnown && amps != 0) return watts / amps * 1000.0;
  if (voltsKnown) return volts / static_cast<double>(batteries.size()) / 1000.0;
  return std::nullopt;
}

PowerSupplyScanner::PowerSupplyScanner(std::string sysfsRoot, const Clock& clock)
    : root_(std::move(sysfsRoot)), clock_(clock) {}

const std::vector<SupplyEntry>& PowerSupplyScanner::fresh() {
  readAt_ = clock_.now();
  readUptime_ = clock_.uptime();
  entries_ = readPowerSupplies(root_);
  return entries_;
}

const std::vector<SupplyEntry>& PowerSupplyScanner::recent() {
  const double now = clock_.uptime();
  if (readUptime_ && now >= *readUptime_ && now - *readUptime_ < kReuseSeconds) return entries_;
  return fresh();
}

}  // namespace wattline
