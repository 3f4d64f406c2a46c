#include "readers/smc_record.h"

#include <algorithm>
#include <cstring>

namespace wattline::SmcCodec {

namespace {

std::uint32_t load32(const SmcRecord& record, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, record.data() + offset, sizeof value);
  return value;
}

void store32(SmcRecord& record, std::size_t offset, std::uint32_t value) {
  std::memcpy(record.data() + offset, &value, sizeof value);
}

}  // namespace

std::uint32_t fold(std::string_view code) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto c = i < code.size() ? static_cast<std::uint8_t>(code[i]) : std::uint8_t{0};
    value = (value << 8) | c;
  }
  return value;
}

std::optional<std::string> unfold(std::uint32_t code) {
  std::string text(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) {
    const auto c = static_cast<std::uint8_t>(code >> (24 - 8 * i));
    if (c > 0x7F) return std::nullopt;
    text[i] = static_cast<char>(c);
  }
  return text;
}

SmcRecord request(std::string_view key, std::uint8_t command, std::uint32_t dataSize) {
  SmcRecord record{};
  store32(record, kKeyOffset, fold(key));
  store32(record, kDataSizeOffset, dataSize);
  record[kCommandOffset] = command;
  return record;
}

std::uint32_t key(const SmcRecord& record) {
  return load32(record, kKeyOffset);
}
std::uint32_t dataSize(const SmcRecord& record) {
  return load32(record, kDataSizeOffset);
}
std::uint32_t dataType(const SmcRecord& record) {
  return load32(record, kDataTypeOffset);
}
std::uint8_t result(const SmcRecord& record) {
  return record[kResultOffset];
}
std::uint8_t command(const SmcRecord& record) {
  return record[kCommandOffset];
}

std::span<const std::uint8_t> bytes(const SmcRecord& record, std::size_t size) {
  return {record.data() + kBytesOffset, std::min(size, kMaxDataSize)};
}

void setDataSize(SmcRecord& record, std::uint32_t size) {
  store32(record, kDataSizeOffset, size);
}
void setDataType(SmcRecord& record, std::uint32_t type) {
  store32(record, kDataTypeOffset, type);
}
void setResult(SmcRecord& record, std::uint8_t result) {
  record[kResultOffset] = result;
}

void setBytes(SmcRecord& record, std::span<const std::uint8_t> bytes) {
  const auto count = std::min(bytes.size(), kMaxDataSize);
  std::copy_n(bytes.begin(), count, record.begin() + kBytesOffset);
}

}  // namespace wattline::SmcCodec
