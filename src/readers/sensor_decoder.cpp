#include "readers/sensor_decoder.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace wattline::SensorDecoder {

namespace {

std::optional<int> hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::optional<double> decode(const SensorValue& value, bool littleEndian) {
  const auto& b = value.bytes;
  if (value.type == "flt " && b.size() == 4) {
    const std::uint32_t bits =
        b[0] | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[3]} << 24);
    return static_cast<double>(std::bit_cast<float>(bits));
  }
  if (b.size() != 2) return std::nullopt;
  const std::uint16_t raw = littleEndian ? static_cast<std::uint16_t>(b[0] | (b[1] << 8))
                                         : static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  const auto asSigned = static_cast<double>(static_cast<std::int16_t>(raw));
  const auto asUnsigned = static_cast<double>(raw);
  const std::string& type = value.type;
  if (type == "si16") return asSigned;
  if (type == "ui16") return asUnsigned;
  const auto fraction = type.empty() ? std::nullopt : hexDigit(type.back());
  // An "sp" type without a hexadecimal fraction falls through to the "fp" test, which fails too.
  if (type.starts_with("sp") && fraction) return std::ldexp(asSigned, -*fraction);
  if (type.starts_with("fp") && fraction) return std::ldexp(asUnsigned, -*fraction);
  return std::nullopt;
}

}  // namespace

std::optional<double> number(const SensorValue& value, bool littleEndian) {
  const auto result = decode(value, littleEndian);
  if (!result || !std::isfinite(*result)) return std::nullopt;
  return result;
}

}  // namespace wattline::SensorDecoder
