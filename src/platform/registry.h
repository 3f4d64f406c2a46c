#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "readers/property_table.h"

namespace wattline {

// The result of copying a service's property table: `result` 0 and a table on success.
struct PropertyCopy {
  std::int32_t result = 0;
  std::optional<PropertyTable> table;
};

// One registry service, looked up for one call. Destroying it releases it.
class RegistryEntry {
 public:
  virtual ~RegistryEntry() = default;
  virtual PropertyCopy copyProperties() = 0;
  // One property, nothing when the service does not have it.
  virtual std::optional<PropertyValue> property(std::string_view key) = 0;
  // The 64-bit registry entry identifier, nothing when the call fails.
  virtual std::optional<std::uint64_t> entryID() = 0;
};

// The driver registry.
class Registry {
 public:
  virtual ~Registry() = default;
  // The first service of a class ("AppleSmartBattery", "AppleCLPC"); nothing when there is none.
  virtual std::unique_ptr<RegistryEntry> matchingService(std::string_view className) = 0;
};

}  // namespace wattline
