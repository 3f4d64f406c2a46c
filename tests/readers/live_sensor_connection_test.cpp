#include <gtest/gtest.h>

#include "platform/testing/scripted_smc.h"
#include "readers/live_sensor_connection.h"

namespace wattline {
namespace {

using testing::ScriptedSmc;
constexpr auto kInfo = SmcCodec::kGetKeyInfo;
constexpr auto kRead = SmcCodec::kReadKey;

SensorValue flt(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  return {"flt ",
          {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)}};
}

TEST(LiveSensorConnection, OpenFollowsTheService) {
  ScriptedSmc smc;
  smc.script().refuseOpen = true;
  EXPECT_EQ(LiveSensorConnection::open(smc), nullptr);
  smc.script().refuseOpen = false;
  auto connection = LiveSensorConnection::open(smc);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(smc.openTransports(), 1);
  connection.reset();
  EXPECT_EQ(smc.openTransports(), 0);  // closed with its owner
}

TEST(LiveSensorConnection, CachesKeyInformationAndMissingKeys) {
  ScriptedSmc smc;
  smc.script().values = {{"B0AC", {"si16", {0x18, 0xFC}}},
                         {"B0AV", {"ui16", {0xD4, 0x30}}},
                         {"PSTR", flt(14.0f)},
                         {"wiPm", flt(0.75f)},
                         {"F0Ac", flt(1800.0f)},
                         {"XXXX", flt(1.0f)}};
  auto connection = LiveSensorConnection::open(smc);

  auto readings = connection->readValues(false);
  EXPECT_EQ(readings.batteryAmps, -1.0);
  EXPECT_EQ(readings.batteryVolts, 12.5);
  EXPECT_EQ(readings.systemWatts, 14.0);
  EXPECT_EQ(readings.wifiWatts, std::nullopt);
  EXPECT_TRUE(readings.fanSpeeds.empty());
  EXPECT_EQ(smc.calls("wiPm", kInfo) + smc.calls("F0Ac", kInfo) + smc.calls("F1Ac", kInfo), 0);

  readings = connection->readValues(true);
  EXPECT_EQ(readings.wifiWatts, 0.75);
  EXPECT_EQ(readings.fanSpeeds, (std::vector<FanSpeed>{{0, 1800.0}}));

  // Key information once per key; missing keys never asked again; values every time.
  connection->readValues(true);
  EXPECT_EQ(smc.calls("B0AC", kInfo), 1);
  EXPECT_EQ(smc.calls("B0AC", kRead), 3);
  EXPECT_EQ(smc.calls("ID0R", kInfo), 1);
  EXPECT_EQ(smc.calls("ID0R", kRead), 0);
  EXPECT_EQ(smc.calls("F1Ac", kInfo), 1);
  EXPECT_EQ(smc.calls("XXXX", kInfo), 0);  // only the fixed keys are requested
  EXPECT_FALSE(connection->broken());

  // A key found missing is retried only on a new connection.
  smc.script().values["ID0R"] = flt(2.0f);
  EXPECT_EQ(connection->readValues(false).inputAmps, std::nullopt);
  EXPECT_EQ(LiveSensorConnection::open(smc)->readValues(false).inputAmps, 2.0);
}

TEST(LiveSensorConnection, FailuresOfEachKind) {
  ScriptedSmc smc;
  smc.script().values = {{"B0AC", {"si16", {0x18, 0xFC}}},
                         {"B0AV", {"ui16", {0xD4, 0x30}}},
                         {"PSTR", flt(14.0f)},
                         {"PDTR", flt(30.0f)},
                         {"VD0R", {"ui16", {}}}};
  smc.script().values["ID0R"] = {"si16", std::vector<std::uint8_t>(33, 0)};  // size above 32
  smc.script().readRefusals = {"PSTR"};
  smc.script().shortReplies = {"PDTR"};
  auto connection = LiveSensorConnection::open(smc);
  auto readings = connection->readValues(false);
  EXPECT_EQ(readings.systemWatts, std::nullopt);
  EXPECT_EQ(readings.inputWatts, std::nullopt);
  EXPECT_EQ(readings.batteryAmps, -1.0);
  EXPECT_FALSE(connection->broken());
  connection->readValues(false);
  EXPECT_EQ(smc.calls("PSTR", kInfo), 1);  // a refused read does not mark the key missing
  EXPECT_EQ(smc.calls("PSTR", kRead), 2);
  // A short key-information reply, a size above 32 and a size of 0 mark the key missing.
  for (const char* key : {"PDTR", "ID0R", "VD0R"}) {
    EXPECT_EQ(smc.calls(key, kInfo), 1) << key;
    EXPECT_EQ(smc.calls(key, kRead), 0) << key;
  }

  // A transport failure breaks the connection and loses only that key.
  smc.script().transportFailures = {"B0AV"};
  readings = connection->readValues(false);
  EXPECT_TRUE(connection->broken());
  EXPECT_EQ(readings.batteryVolts, std::nullopt);
  EXPECT_EQ(readings.batteryAmps, -1.0);

  // During the key-information step the failing key is also marked missing.
  auto fresh = LiveSensorConnection::open(smc);
  fresh->readValues(false);
  EXPECT_TRUE(fresh->broken());
  smc.script().transportFailures.clear();
  fresh->readValues(false);
  EXPECT_EQ(smc.calls("B0AV", kInfo), 2);  // once per connection
}

}  // namespace
}  // namespace wattline
