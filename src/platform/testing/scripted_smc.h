#pragma once

#include <bit>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/smc_transport.h"
#include "readers/sensor_decoder.h"

namespace wattline::testing {

// A single as the controller stores it, little-endian.
inline SensorValue flt(float value) {
  const auto b = std::bit_cast<std::uint32_t>(value);
  return {"flt ", {std::uint8_t(b), std::uint8_t(b >> 8), std::uint8_t(b >> 16), std::uint8_t(b >> 24)}};
}

// A 16-bit value of `type`, little-endian.
inline SensorValue le16(const char* type, std::uint16_t value) {
  return {type, {std::uint8_t(value), std::uint8_t(value >> 8)}};
}

// A controller answering from a key table, with scripted failures. Transports
// opened from it share its script and its call log.
class ScriptedSmc : public SmcService {
 public:
  struct Script {
    std::map<std::string, SensorValue> values;
    std::set<std::string> transportFailures;  // every call about the key fails in transport
    std::set<std::string> readRefusals;       // key information works, the read answers non-zero
    std::set<std::string> shortReplies;       // replies of 79 bytes
    bool refuseOpen = false;
  };

  ScriptedSmc() : state_(std::make_shared<State>()) {}
  Script& script() { return state_->script; }
  int opens() const { return state_->opens; }
  int openTransports() const { return state_->openTransports; }
  // Calls made with `command` about `key` on any transport.
  int calls(const std::string& key, std::uint8_t command) const;

  std::unique_ptr<SmcTransport> open() override;

 private:
  struct State {
    Script script;
    int opens = 0;
    int openTransports = 0;
    std::map<std::pair<std::string, std::uint8_t>, int> calls;
  };
  class Transport;
  std::shared_ptr<State> state_;
};

}  // namespace wattline::testing
