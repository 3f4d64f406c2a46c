#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wattline {

// One controller value: its four-character data type ("si16", "flt ") and
// exactly the data size the controller reported.
struct SensorValue {
  std::string type;
  std::vector<std::uint8_t> bytes;
  bool operator==(const SensorValue&) const = default;
};

namespace SensorDecoder {
// The value as a number, for the types the readers use: "flt " (4 bytes,
// always little-endian), "si16", "ui16", "spXY" and "fpXY" fixed point (2 bytes).
std::optional<double> number(const SensorValue& value, bool littleEndian);
}  // namespace SensorDecoder

}  // namespace wattline
