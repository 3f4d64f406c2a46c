// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/testing/memory_defaults.h"

namespace wattline::testing {

bool MemoryDefaults::boolValue(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  if (const bool* b = std::get_if<bool>(&it->second)) return *b;
  return false;
}

std::optional<double> MemoryDefaults::number(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (const double* d = std::get_if<double>(&it->second)) return *d;
  return std::nullopt;
}

}  // namespace wattline::testing
