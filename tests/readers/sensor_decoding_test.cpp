#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "readers/live_sensor_readings.h"
#include "readers/sensor_decoder.h"
#include "readers/smc_record.h"

namespace wattline {
namespace {

SensorValue single(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  return {"flt ",
          {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)}};
}

TEST(SmcCodec, RecordLayout) {
  EXPECT_EQ(SmcCodec::fold("B0AC"), 0x42304143u);
  EXPECT_EQ(SmcCodec::unfold(0x666C7420u), "flt ");
  EXPECT_EQ(SmcCodec::unfold(0x80304143u), std::nullopt);

  const SmcRecord request = SmcCodec::request("PSTR", SmcCodec::kReadKey, 4);
  EXPECT_EQ(SmcCodec::key(request), SmcCodec::fold("PSTR"));
  EXPECT_EQ(request[42], 5);
  EXPECT_EQ(SmcCodec::dataSize(request), 4u);
  for (std::size_t i = 4; i < 80; ++i) {
    if (i >= 28 && i < 32) continue;
    if (i == 42) continue;
    EXPECT_EQ(request[i], 0) << "byte " << i;
  }

  SmcRecord reply{};
  SmcCodec::setDataType(reply, SmcCodec::fold("si16"));
  SmcCodec::setResult(reply, 0x84);
  const std::uint8_t tooMany[40] = {1, 2};
  SmcCodec::setBytes(reply, tooMany);
  EXPECT_EQ(reply[40], 0x84);
  EXPECT_EQ(SmcCodec::unfold(SmcCodec::dataType(reply)), "si16");
  EXPECT_EQ(reply[48], 1);
  EXPECT_EQ(SmcCodec::bytes(reply, 100).size(), 32u);
}

TEST(SensorDecoder, NumberTypes) {
  EXPECT_EQ(SensorDecoder::number({"si16", {0x18, 0xFC}}, true), -1000.0);
  EXPECT_EQ(SensorDecoder::number({"si16", {0xFC, 0x18}}, false), -1000.0);
  EXPECT_EQ(SensorDecoder::number({"ui16", {0x18, 0xFC}}, true), 64536.0);
  EXPECT_EQ(SensorDecoder::number(single(12.5f), true), 12.5);
  EXPECT_EQ(SensorDecoder::number(single(12.5f), false), 12.5);  // singles are always little-endian
  EXPECT_EQ(SensorDecoder::number({"flt ", {0x00, 0x00}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"flt", {0, 0, 0x48, 0x41}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"fpe2", {0x10, 0x00}}, true), 4.0);
  EXPECT_EQ(SensorDecoder::number({"sp78", {0x00, 0x80}}, true), -128.0);
  EXPECT_EQ(SensorDecoder::number({"sp96", {0x40, 0x00}}, true), 1.0);
  EXPECT_EQ(SensorDecoder::number({"spxz", {0x40, 0x00}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"fpxz", {0x40, 0x00}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"ui32", {1, 0, 0, 0}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"ui8 ", {1}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number({"", {1, 0}}, true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number(single(std::numeric_limits<float>::quiet_NaN()), true), std::nullopt);
  EXPECT_EQ(SensorDecoder::number(single(std::numeric_limits<float>::infinity()), true), std::nullopt);
}

TEST(LiveSensorReadings, DecodeTypesAndRanges) {
  std::map<std::string, SensorValue, std::less<>> values = {
      {"B0AC", {"si16", {0x18, 0xFC}}},  // -1000 mA
      {"B0AV", {"ui16", {0xD4, 0x30}}},  // 12500 mV
      {"ID0R", single(1.5f)},           {"VD0R", single(20.0f)},
      {"PDTR", single(30.0f)},          {"PSTR", single(std::numeric_limits<float>::quiet_NaN())},
      {"PBwo", single(150.0f)},         {"PDBR", single(3.25f)},
      {"wiPm", single(0.5f)},           {"F1Ac", single(2400.0f)},
      {"F0Ac", single(-5.0f)},
  };
  auto r = LiveSensorReadings::decode(values, true);
  EXPECT_EQ(r.batteryAmps, -1.0);
  EXPECT_EQ(r.batteryVolts, 12.5);
  EXPECT_EQ(r.inputAmps, 1.5);
  EXPECT_EQ(r.inputVolts, 20.0);
  EXPECT_EQ(r.inputWatts, 30.0);
  EXPECT_EQ(r.systemWatts, std::nullopt);
  EXPECT_EQ(r.displayWatts, 3.25);
  EXPECT_EQ(r.wifiWatts, 0.5);
  EXPECT_EQ(r.fanSpeeds, (std::vector<FanSpeed>{{1, 2400.0}}));

  // The battery needs exact integer types and plausible voltages.
  values["B0AC"] = {"sp78", {0x00, 0x01}};
  values["B0AV"] = {"si16", {0xD4, 0x30}};
  r = LiveSensorReadings::decode(values, true);
  EXPECT_EQ(r.batteryAmps, std::nullopt);
  EXPECT_EQ(r.batteryVolts, std::nullopt);
  values["B0AV"] = {"ui16", {0x94, 0x11}};  // 4500 mV
  EXPECT_EQ(LiveSensorReadings::decode(values, true).batteryVolts, std::nullopt);
  values["B0AV"] = {"ui16", {0x18, 0x79}};  // 31000 mV
  EXPECT_EQ(LiveSensorReadings::decode(values, true).batteryVolts, std::nullopt);
  values["B0AV"] = {"ui16", {0x88, 0x13}};  // 5000 mV, the inclusive bound
  EXPECT_EQ(LiveSensorReadings::decode(values, true).batteryVolts, 5.0);

  // Display: the first choice wins when valid; both missing leaves it absent.
  values["PBwo"] = single(4.0f);
  EXPECT_EQ(LiveSensorReadings::decode(values, true).displayWatts, 4.0);
  values.erase("PBwo");
  values.erase("PDBR");
  EXPECT_EQ(LiveSensorReadings::decode(values, true).displayWatts, std::nullopt);

  values["F0Ac"] = single(20000.0f);
  EXPECT_EQ(LiveSensorReadings::decode(values, true).fanSpeeds,
            (std::vector<FanSpeed>{{0, 20000.0}, {1, 2400.0}}));
  EXPECT_EQ(LiveSensorReadings::decode({}, true), LiveSensorReadings{});
}

}  // namespace
}  // namespace wattline
