#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/testing/scripted_smc.h"
#include "readers/live_sensor_connection.h"
#include "readers/live_sensor_readings.h"
#include "readers/sensor_decoder.h"

namespace wattline {
namespace {

using testing::flt;
using testing::le16;
using testing::ScriptedSmc;
constexpr auto kInfo = SmcCodec::kGetKeyInfo;
constexpr auto kRead = SmcCodec::kReadKey;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SensorDecoder, NumberTypesAndReadingRanges) {
  const auto number = [](SensorValue v, bool littleEndian = true) {
    return SensorDecoder::number(v, littleEndian);
  };
  EXPECT_EQ(number(le16("si16", -1000)), -1000.0);
  EXPECT_EQ(number(flt(12.5f)), 12.5);
  EXPECT_EQ(number(flt(12.5f), false), 12.5);  // singles are always little-endian
  EXPECT_EQ(number({"fpe2", {0x10, 0x00}}), 4.0);
  EXPECT_EQ(number({"sp78", {0x00, 0x80}}), -128.0);
  const std::vector<SensorValue> invalid = {{"flt ", {0, 0}},       {"flt", {0, 0, 0x48, 0x41}},
                                            {"spxz", {0x40, 0}},    {"fpxz", {0x40, 0}},
                                            {"ui32", {1, 0, 0, 0}}, {"ui8 ", {1}},
                                            {"", {1, 0}},           flt(kNaN),
                                            flt(INFINITY)};
  for (const SensorValue& bad : invalid) EXPECT_EQ(number(bad), std::nullopt) << bad.type;

  std::map<std::string, SensorValue, std::less<>> values = {
      {"B0AC", le16("si16", -1000)}, {"B0AV", le16("ui16", 12500)}, {"ID0R", flt(1.5f)},
      {"VD0R", flt(20.0f)},          {"PDTR", flt(30.0f)},          {"PSTR", flt(kNaN)},
      {"PBwo", flt(150.0f)},         {"PDBR", flt(3.25f)},          {"wiPm", flt(0.5f)},
      {"F1Ac", flt(2400.0f)},        {"F0Ac", flt(-5.0f)}};
  const auto decode = [&] { return LiveSensorReadings::decode(values, true); };
  auto r = decode();
  EXPECT_EQ(std::tie(r.batteryAmps, r.batteryVolts, r.inputAmps, r.inputVolts, r.inputWatts, r.systemWatts,
                     r.displayWatts, r.wifiWatts, r.fanSpeeds),
            std::make_tuple(-1.0, 12.5, 1.5, 20.0, 30.0, std::nullopt, 3.25, 0.5,
                            std::vector<FanSpeed>{{1, 2400.0}}));

  // The battery needs exact integer types and plausible voltages (5 V inclusive to 30 V).
  values["B0AC"] = le16("sp78", 0x0100);
  values["B0AV"] = le16("si16", 12500);
  r = decode();
  EXPECT_FALSE(r.batteryAmps || r.batteryVolts);
  for (auto [millivolts, volts] : std::vector<std::pair<int, std::optional<double>>>{
           {4500, std::nullopt}, {31000, std::nullopt}, {5000, 5.0}}) {
    values["B0AV"] = le16("ui16", millivolts);
    EXPECT_EQ(decode().batteryVolts, volts) << millivolts;
  }

  // Display: the first choice wins when valid; both missing leaves it absent.
  values["PBwo"] = flt(4.0f);
  EXPECT_EQ(decode().displayWatts, 4.0);
  values.erase("PBwo");
  values.erase("PDBR");
  EXPECT_EQ(decode().displayWatts, std::nullopt);

  values["F0Ac"] = flt(20000.0f);
  EXPECT_EQ(decode().fanSpeeds, (std::vector<FanSpeed>{{0, 20000.0}, {1, 2400.0}}));
  EXPECT_EQ(LiveSensorReadings::decode({}, true), LiveSensorReadings{});
}

TEST(LiveSensorConnection, OpensAndCachesKeyInformationAndMissingKeys) {
  ScriptedSmc smc;
  smc.script().refuseOpen = true;
  EXPECT_EQ(LiveSensorConnection::open(smc), nullptr);
  smc.script().refuseOpen = false;
  smc.script().values = {{"B0AC", le16("si16", -1000)}, {"B0AV", le16("ui16", 12500)}, {"PSTR", flt(14.0f)},
                         {"wiPm", flt(0.75f)},          {"F0Ac", flt(1800.0f)},        {"XXXX", flt(1.0f)}};
  auto connection = LiveSensorConnection::open(smc);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(smc.openTransports(), 1);

  auto readings = connection->readValues(false);
  EXPECT_EQ(std::tie(readings.systemWatts, readings.wifiWatts, readings.fanSpeeds),
            std::make_tuple(14.0, std::nullopt, std::vector<FanSpeed>{}));
  EXPECT_EQ(smc.calls("wiPm", kInfo) + smc.calls("F0Ac", kInfo) + smc.calls("F1Ac", kInfo), 0);
  readings = connection->readValues(true);
  EXPECT_EQ(std::tie(readings.wifiWatts, readings.fanSpeeds),
            std::make_tuple(0.75, std::vector<FanSpeed>{{0, 1800.0}}));

  // Key information once per key; missing keys never asked again; values every time.
  connection->readValues(true);
  EXPECT_EQ(std::make_tuple(smc.calls("B0AC", kInfo), smc.calls("B0AC", kRead), smc.calls("ID0R", kInfo),
                            smc.calls("ID0R", kRead), smc.calls("F1Ac", kInfo)),
            std::make_tuple(1, 3, 1, 0, 1));
  EXPECT_EQ(smc.calls("XXXX", kInfo), 0);  // only the fixed keys are requested
  EXPECT_FALSE(connection->broken());

  // A key found missing is retried only on a new connection.
  smc.script().values["ID0R"] = flt(2.0f);
  EXPECT_EQ(connection->readValues(false).inputAmps, std::nullopt);
  EXPECT_EQ(LiveSensorConnection::open(smc)->readValues(false).inputAmps, 2.0);
  connection.reset();
  EXPECT_EQ(smc.openTransports(), 0);  // closed with its owner
}

TEST(LiveSensorConnection, FailuresOfEachKind) {
  ScriptedSmc smc;
  smc.script().values = {{"B0AC", le16("si16", -1000)}, {"B0AV", le16("ui16", 12500)},
                         {"PSTR", flt(14.0f)},          {"PDTR", flt(30.0f)},
                         {"VD0R", {"ui16", {}}},        {"ID0R", {"si16", std::vector<std::uint8_t>(33)}}};
  smc.script().readRefusals = {"PSTR"};
  smc.script().shortReplies = {"PDTR"};
  auto connection = LiveSensorConnection::open(smc);
  auto readings = connection->readValues(false);
  EXPECT_EQ(std::tie(readings.systemWatts, readings.inputWatts, readings.batteryAmps),
            std::make_tuple(std::nullopt, std::nullopt, -1.0));
  connection->readValues(false);
  EXPECT_FALSE(connection->broken());
  // A refused read (result byte) does not mark the key missing.
  EXPECT_EQ(std::make_tuple(smc.calls("PSTR", kInfo), smc.calls("PSTR", kRead)), std::make_tuple(1, 2));
  // A short key-information reply, a size above 32 and a size of 0 mark the key missing.
  for (const char* key : {"PDTR", "ID0R", "VD0R"}) {
    EXPECT_EQ(smc.calls(key, kInfo), 1) << key;
    EXPECT_EQ(smc.calls(key, kRead), 0) << key;
  }

  // A transport failure breaks the connection and loses only that key.
  smc.script().transportFailures = {"B0AV"};
  readings = connection->readValues(false);
  EXPECT_EQ(std::make_tuple(connection->broken(), readings.batteryVolts, readings.batteryAmps),
            std::make_tuple(true, std::nullopt, -1.0));
  // During the key-information step the failing key is also marked missing: asked once per connection.
  auto fresh = LiveSensorConnection::open(smc);
  fresh->readValues(false);
  EXPECT_TRUE(fresh->broken());
  smc.script().transportFailures.clear();
  fresh->readValues(false);
  EXPECT_EQ(smc.calls("B0AV", kInfo), 2);
}

}  // namespace
}  // namespace wattline
