#include "readers/property_table.h"

#include <cmath>

namespace wattline {

std::optional<bool> PropertyValue::boolean() const {
  if (const bool* b = std::get_if<bool>(&storage_)) return *b;
  return std::nullopt;
}

std::optional<double> PropertyValue::doubleValue() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) return static_cast<double>(*i);
  if (const auto* u = std::get_if<std::uint64_t>(&storage_)) return static_cast<double>(*u);
  if (const auto* d = std::get_if<double>(&storage_)) return *d;
  return std::nullopt;
}

std::optional<std::uint64_t> PropertyValue::uint64Bits() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) return static_cast<std::uint64_t>(*i);
  if (const auto* u = std::get_if<std::uint64_t>(&storage_)) return *u;
  if (const auto* d = std::get_if<double>(&storage_)) {
    // Only doubles that an integer of 64 bits can hold; the sign wraps like an integer's.
    if (!std::isfinite(*d) || *d <= -9223372036854775808.0 || *d >= 18446744073709551616.0)
      return std::nullopt;
    if (*d < 0) return static_cast<std::uint64_t>(static_cast<std::int64_t>(*d));
    return static_cast<std::uint64_t>(*d);
  }
  return std::nullopt;
}

const PropertyTable* PropertyValue::table() const {
  if (const auto* t = std::get_if<Table>(&storage_)) return t->get();
  return nullptr;
}

}  // namespace wattline
