#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace wattline {

// The controller's 80-byte request/reply record. Multi-byte integers are in
// host byte order; four-character codes are folded big-endian into 32 bits.
inline constexpr std::size_t kSmcRecordSize = 80;
using SmcRecord = std::array<std::uint8_t, kSmcRecordSize>;

namespace SmcCodec {

inline constexpr std::uint8_t kGetKeyInfo = 9;
inline constexpr std::uint8_t kReadKey = 5;
inline constexpr std::size_t kMaxDataSize = 32;

// Offsets inside the record.
inline constexpr std::size_t kKeyOffset = 0;
inline constexpr std::size_t kDataSizeOffset = 28;
inline constexpr std::size_t kDataTypeOffset = 32;
inline constexpr std::size_t kResultOffset = 40;
inline constexpr std::size_t kCommandOffset = 42;
inline constexpr std::size_t kBytesOffset = 48;

// c0·2^24 + c1·2^16 + c2·2^8 + c3; codes shorter than four characters are padded with zero bytes.
std::uint32_t fold(std::string_view code);
// The four characters of a folded code, most significant first; nothing unless all are ASCII.
std::optional<std::string> unfold(std::uint32_t code);

// A zeroed record asking `command` about `key`, with the caller's data size.
SmcRecord request(std::string_view key, std::uint8_t command, std::uint32_t dataSize = 0);

std::uint32_t key(const SmcRecord& record);
std::uint32_t dataSize(const SmcRecord& record);
std::uint32_t dataType(const SmcRecord& record);
std::uint8_t result(const SmcRecord& record);
std::uint8_t command(const SmcRecord& record);
// The value area of a read reply, `size` bytes long (at most 32).
std::span<const std::uint8_t> bytes(const SmcRecord& record, std::size_t size);

void setDataSize(SmcRecord& record, std::uint32_t size);
void setDataType(SmcRecord& record, std::uint32_t type);
void setResult(SmcRecord& record, std::uint8_t result);
// Copies up to 32 bytes into the value area.
void setBytes(SmcRecord& record, std::span<const std::uint8_t> bytes);

}  // namespace SmcCodec
}  // namespace wattline
