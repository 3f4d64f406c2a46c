// Any controller reply decodes to in-range readings or nothing: the record
// codec, the connection's reply checks, SensorDecoder and LiveSensorReadings.
#include <cmath>
#include <cstdlib>
#include <map>

#include "fuzz_input.h"
#include "readers/live_sensor_connection.h"

using namespace wattline;

namespace {

const char* const kTypes[] = {"flt ", "si16", "ui16", "sp78", "fpe2", "sp9z", "fp", "ui8 "};
const char* const kKeys[] = {"B0AC", "B0AV", "ID0R", "VD0R", "PDTR", "PSTR",
                             "PBwo", "PDBR", "wiPm", "F0Ac", "F1Ac", "XXXX"};

// A controller whose every reply comes from the fuzzer's bytes.
class FuzzTransport : public SmcTransport {
 public:
  explicit FuzzTransport(FuzzInput& in) : in_(in) {}
  int call(const SmcRecord&, SmcRecord& output, std::size_t& outputSize) override {
    if (in_.byte() % 16 == 0) return 1;
    for (auto& b : output) b = in_.byte();
    outputSize = in_.byte() % 8 == 0 ? in_.byte() : kSmcRecordSize;
    return 0;
  }

 private:
  FuzzInput& in_;
};

void check(std::optional<double> value, double low, double high) {
  if (value && !(std::isfinite(*value) && *value >= low && *value <= high)) std::abort();
}

void checkReadings(const LiveSensorReadings& r) {
  check(r.batteryAmps, -30, 30);
  check(r.batteryVolts, 5, 30);
  check(r.inputAmps, 0, 30);
  check(r.inputVolts, 0, 60);
  check(r.inputWatts, 0, 1000);
  check(r.systemWatts, 0, 1000);
  check(r.displayWatts, 0, 100);
  check(r.wifiWatts, 0, 30);
  if (r.fanSpeeds.size() > 2) std::abort();
  for (const auto& fan : r.fanSpeeds) check(fan.rpm, 0, 20000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const bool littleEndian = in.byte() % 2 == 0;

  std::map<std::string, SensorValue, std::less<>> values;
  const int count = in.byte() % 12;
  for (int i = 0; i < count && !in.empty(); ++i) {
    SensorValue value;
    const auto pick = in.byte();
    value.type = pick < 200 ? kTypes[pick % std::size(kTypes)] : in.text(5);
    const auto length = in.byte() % 34;
    for (int j = 0; j < length; ++j) value.bytes.push_back(in.byte());
    const auto number = SensorDecoder::number(value, littleEndian);
    if (number && !std::isfinite(*number)) std::abort();
    values.insert_or_assign(kKeys[in.byte() % std::size(kKeys)], std::move(value));
  }
  checkReadings(LiveSensorReadings::decode(values, littleEndian));

  SmcRecord record{};
  for (auto& b : record) b = in.byte();
  if (const auto type = SmcCodec::unfold(SmcCodec::dataType(record))) {
    if (SmcCodec::fold(*type) != SmcCodec::dataType(record)) std::abort();
  }
  if (SmcCodec::bytes(record, SmcCodec::dataSize(record)).size() > SmcCodec::kMaxDataSize) std::abort();

  LiveSensorConnection connection(std::make_unique<FuzzTransport>(in));
  for (int round = 0; round < 3 && !in.empty(); ++round)
    checkReadings(connection.readValues(in.byte() % 2 == 0));
  return 0;
}
