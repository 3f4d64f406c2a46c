// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <map>
#include <string>
#include <variant>

#include "platform/user_defaults.h"

namespace wattline::testing {

// User defaults kept in memory for one test.
class MemoryDefaults : public UserDefaults {
 public:
  using Value = std::variant<bool, double, std::string>;
  bool boolValue(const std::string& key) const override;
  std::optional<double> number(const std::string& key) const override;
  void setBool(const std::string& key, bool value) override { values_[key] = value; }
  void setDouble(const std::string& key, double value) override { values_[key] = value; }
  // Stores any value, as another program writing the same settings might.
  void setRaw(const std::string& key, Value value) { values_[key] = std::move(value); }
  bool contains(const std::string& key) const { return values_.count(key) != 0; }

 private:
  std::map<std::string, Value> values_;
};

}  // namespace wattline::testing
