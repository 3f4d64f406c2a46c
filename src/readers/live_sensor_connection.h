#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/smc_transport.h"
#include "readers/live_sensor_readings.h"

namespace wattline {

// An open controller connection that reads the fixed key set. Not thread-safe:
// its owner serialises it.
class LiveSensorConnection {
 public:
  static constexpr std::array<std::string_view, 8> coreKeys = {"B0AC", "B0AV", "ID0R", "VD0R",
                                                               "PDTR", "PSTR", "PBwo", "PDBR"};
  static constexpr std::array<std::string_view, 3> detailKeys = {"wiPm", "F0Ac", "F1Ac"};
  // The only keys ever requested: the core keys, then the detail keys.
  static constexpr std::array<std::string_view, 11> keys = {"B0AC", "B0AV", "ID0R", "VD0R", "PDTR", "PSTR",
                                                            "PBwo", "PDBR", "wiPm", "F0Ac", "F1Ac"};

  // Nothing when the service is absent or cannot be opened.
  static std::unique_ptr<LiveSensorConnection> open(SmcService& service);
  explicit LiveSensorConnection(std::unique_ptr<SmcTransport> transport);

  // Core keys, plus the detail keys when asked; decoded little-endian.
  LiveSensorReadings readValues(bool includeDetails);
  // A transport call failed; the owner discards the connection.
  bool broken() const { return broken_; }

 private:
  struct KeyInfo {
    std::uint32_t size;
    std::string type;
  };

  std::optional<SensorValue> read(std::string_view key);
  std::optional<SmcRecord> exchange(const SmcRecord& input);

  std::unique_ptr<SmcTransport> connection_;
  std::map<std::string, KeyInfo, std::less<>> metadata_;
  std::set<std::string, std::less<>> missingKeys_;
  bool broken_ = false;
};

}  // namespace wattline
