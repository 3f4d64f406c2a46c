#include "readers/live_sensor_connection.h"

#include <algorithm>

namespace wattline {

std::unique_ptr<LiveSensorConnection> LiveSensorConnection::open(SmcService& service) {
  auto transport = service.open();
  if (!transport) return nullptr;
  return std::make_unique<LiveSensorConnection>(std::move(transport));
}

LiveSensorConnection::LiveSensorConnection(std::unique_ptr<SmcTransport> transport)
    : connection_(std::move(transport)) {}

std::optional<SmcRecord> LiveSensorConnection::exchange(const SmcRecord& input) {
  SmcRecord output{};
  std::size_t outputSize = kSmcRecordSize;
  if (connection_->call(input, output, outputSize) != 0) {
    broken_ = true;
    return std::nullopt;
  }
  if (outputSize != kSmcRecordSize) return std::nullopt;
  if (SmcCodec::result(output) != 0) return std::nullopt;
  return output;
}

std::optional<SensorValue> LiveSensorConnection::read(std::string_view key) {
  if (std::find(keys.begin(), keys.end(), key) == keys.end() || missingKeys_.contains(key))
    return std::nullopt;
  auto info = metadata_.find(key);
  if (info == metadata_.end()) {
    const auto reply = exchange(SmcCodec::request(key, SmcCodec::kGetKeyInfo));
    const auto size = reply ? SmcCodec::dataSize(*reply) : 0;
    const auto type = reply ? SmcCodec::unfold(SmcCodec::dataType(*reply)) : std::nullopt;
    if (size == 0 || size > SmcCodec::kMaxDataSize || !type) {
      missingKeys_.emplace(key);
      return std::nullopt;
    }
    info = metadata_.emplace(std::string(key), KeyInfo{size, *type}).first;
  }
  const auto reply = exchange(SmcCodec::request(key, SmcCodec::kReadKey, info->second.size));
  if (!reply) return std::nullopt;
  const auto bytes = SmcCodec::bytes(*reply, info->second.size);
  return SensorValue{info->second.type, {bytes.begin(), bytes.end()}};
}

LiveSensorReadings LiveSensorConnection::readValues(bool includeDetails) {
  std::map<std::string, SensorValue, std::less<>> values;
  const auto readInto = [&](std::string_view key) {
    if (auto value = read(key)) {
      values.insert_or_assign(std::string(key), std::move(*value));
    } else {
      values.erase(std::string(key));
    }
  };
  for (const auto key : coreKeys) readInto(key);
  if (includeDetails) {
    for (const auto key : detailKeys) readInto(key);
  }
  return LiveSensorReadings::decode(values, true);
}

}  // namespace wattline
