// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace wattline {

// The user's preferences, kept across runs.
class UserDefaults {
 public:
  virtual ~UserDefaults() = default;
  // Absent or not a boolean reads as false.
  virtual bool boolValue(const std::string& key) const = 0;
  // The stored value when it is a number, else nothing.
  virtual std::optional<double> number(const std::string& key) const = 0;
  // Absent or not a number reads as 0.
  double doubleValue(const std::string& key) const { return number(key).value_or(0.0); }
  virtual void setBool(const std::string& key, bool value) = 0;
  virtual void setDouble(const std::string& key, double value) = 0;
};

}  // namespace wattline
