#pragma once

#include <optional>
#include <string>

namespace wattline {

inline constexpr const char* kACPower = "AC Power";
inline constexpr const char* kBatteryPower = "Battery Power";

// The power-source service.
class PowerSources {
 public:
  virtual ~PowerSources() = default;
  // The providing source: "AC Power", "Battery Power", another text, or nothing.
  virtual std::optional<std::string> providingSourceType() = 0;
};

}  // namespace wattline
