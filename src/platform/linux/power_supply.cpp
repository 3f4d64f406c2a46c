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

// One battery's current in mA, positive while charging: from `current_now`, or
// from `power_now` / `voltage_now` when the driver reports power only. Drivers
// disagree on the sign, so the status decides it when it is known.
std::optional<std::int64_t> milliamps(const SupplyEntry& battery) {
  std::optional<std::int64_t> value;
  if (battery.currentNow) {
    value = milli(*battery.currentNow);
  } else if (battery.powerNow && battery.voltageNow && *battery.voltageNow > 0) {
    value =
        rounded(static_cast<double>(*battery.powerNow) / static_cast<double>(*battery.voltageNow) * 1000.0);
  }
  if (!value || !battery.status) return value;
  if (*battery.status == "Discharging") return -std::llabs(*value);
  if (*battery.status == "Charging") return std::llabs(*value);
  return value;
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
    if (!e.currentNow) e.powerNow = number("/power_now");
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
    if (const auto& volts = batteries.front()->voltageNow) table.emplace("Voltage", milli(*volts));
    std::optional<std::int64_t> current = batteryMilliamps(entries);
    if (current) table.emplace("InstantAmperage", *current);
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
  std::int64_t total = 0;
  for (const auto* battery : batteries) {
    const auto current = milliamps(*battery);
    // A sum missing one battery would be a wrong value, not a partial one.
    if (!current || __builtin_add_overflow(total, *current, &total)) return std::nullopt;
  }
  return total;
}

std::optional<std::int64_t> batteryMillivolts(const std::vector<SupplyEntry>& entries) {
  const auto batteries = systemBatteries(entries);
  if (batteries.empty() || !batteries.front()->voltageNow) return std::nullopt;
  return milli(*batteries.front()->voltageNow);
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
