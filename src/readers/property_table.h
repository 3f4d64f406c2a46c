#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace wattline {

class PropertyValue;
using PropertyTable = std::map<std::string, PropertyValue, std::less<>>;

// One value of a registry property table: a boolean, a number (integers are
// kept exactly, since the bit pattern of a current matters), a text or a
// nested table.
class PropertyValue {
 public:
  using Table = std::shared_ptr<const PropertyTable>;
  using Storage = std::variant<bool, std::int64_t, std::uint64_t, double, std::string, Table>;

  PropertyValue(bool value) : storage_(value) {}
  PropertyValue(int value) : storage_(std::int64_t{value}) {}
  PropertyValue(long value) : storage_(std::int64_t{value}) {}
  PropertyValue(long long value) : storage_(std::int64_t{value}) {}
  PropertyValue(unsigned long value) : storage_(std::uint64_t{value}) {}
  PropertyValue(unsigned long long value) : storage_(std::uint64_t{value}) {}
  PropertyValue(double value) : storage_(value) {}
  PropertyValue(std::string value) : storage_(std::move(value)) {}
  PropertyValue(const char* value) : storage_(std::string(value)) {}
  PropertyValue(PropertyTable table) : storage_(std::make_shared<const PropertyTable>(std::move(table))) {}

  const Storage& storage() const { return storage_; }

  bool isNumber() const {
    return std::holds_alternative<std::int64_t>(storage_) ||
           std::holds_alternative<std::uint64_t>(storage_) || std::holds_alternative<double>(storage_);
  }
  std::optional<bool> boolean() const;
  // The number as a double (integers above 2^53 round).
  std::optional<double> doubleValue() const;
  // The number's bits as an unsigned 64-bit integer: negative integers wrap,
  // doubles are truncated toward zero; non-finite or out-of-range doubles give nothing.
  std::optional<std::uint64_t> uint64Bits() const;
  const PropertyTable* table() const;

 private:
  Storage storage_;
};

}  // namespace wattline
