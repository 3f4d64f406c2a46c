#include "platform/linux/power_supply_registry.h"

namespace wattline {

namespace {

class BatteryService : public RegistryEntry {
 public:
  explicit BatteryService(PropertyTable table) : table_(std::move(table)) {}
  PropertyCopy copyProperties() override { return {0, table_}; }
  std::optional<PropertyValue> property(std::string_view key) override {
    const auto it = table_.find(key);
    if (it == table_.end()) return std::nullopt;
    return it->second;
  }
  // Supplies have no registry identifier.
  std::optional<std::uint64_t> entryID() override { return std::nullopt; }

 private:
  PropertyTable table_;
};

}  // namespace

std::unique_ptr<RegistryEntry> PowerSupplyRegistry::matchingService(std::string_view className) {
  if (className != "AppleSmartBattery") return nullptr;
  const auto& entries = scanner_->fresh();
  auto table = batteryPropertyTable(entries, scanner_->readAt());
  if (!table) return nullptr;
  return std::make_unique<BatteryService>(std::move(*table));
}

std::optional<std::string> PowerSupplySources::providingSourceType() {
  return wattline::providingSourceType(scanner_->recent());
}

}  // namespace wattline
