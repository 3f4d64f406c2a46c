#include <gtest/gtest.h>

#include "power/json_coding.h"

using namespace wattline;
using nlohmann::json;

TEST(JsonCoding, DefaultSnapshotLeavesOptionalsOut) {
  PowerSnapshot s;
  s.timestamp = dateFromSeconds(1796573652);  // 2026-12-06T16:14:12Z
  json j = toJson(s);
  EXPECT_FALSE(j.contains("percent") || j.contains("error"));
  EXPECT_EQ(j["batterySource"], "systemCache");
  EXPECT_EQ(j["timestamp"], "2026-12-06T16:14:12Z");
  EXPECT_EQ(j["fanSpeeds"], json::array());
  // Exactly the snapshot's fields, no more.
  EXPECT_EQ(j.size(), 11u);
  std::string text = prettyJson(j);
  EXPECT_LT(text.find("\"available\""), text.find("\"batteryInstalled\""));  // sorted keys
}

TEST(JsonCoding, RoundTripGivesAnEqualSnapshot) {
  PowerSnapshot s = PowerSnapshot::demo(3, dateFromSeconds(1796573652));
  s.error = "电源数据读取失败（-5），正在等待下次采样。";
  s.batterySource = PowerDataSource::sensor;
  s.batteryUpdatedAt = dateFromSeconds(1796573650);
  s.inputUpdatedAt = dateFromSeconds(1796573651);
  s.systemUpdatedAt = dateFromSeconds(1796573652);
  s.batteryWatts = -9.92;
  PowerSnapshot back = snapshotFromJson(json::parse(prettyJson(toJson(s))));
  EXPECT_EQ(back, s);
  EXPECT_EQ(toJson(back)["fanSpeeds"][1], (json{{"id", 1}, {"rpm", 2500.0}}));
}

TEST(JsonCoding, DecodingRequiresEveryNonOptionalField) {
  json j = toJson(PowerSnapshot{});
  for (const char* key : {"timestamp", "available", "fanSpeeds", "systemEstimated", "inputSource"}) {
    json missing = j;
    missing.erase(key);
    EXPECT_THROW(snapshotFromJson(missing), JsonDecodingError) << key;
  }
  for (auto [key, value] : {std::pair<const char*, json>{"batterySource", "battery"}, {"percent", "76"}}) {
    json wrong = j;
    wrong[key] = value;
    EXPECT_THROW(snapshotFromJson(wrong), JsonDecodingError) << key;
  }
  EXPECT_THROW(snapshotFromJson(json::array()), JsonDecodingError);
  json nulls = j;
  nulls["percent"] = nullptr;  // null is accepted as absent
  EXPECT_FALSE(snapshotFromJson(nulls).percent);
}

TEST(JsonCoding, IsoDates) {
  EXPECT_EQ(isoDate(dateFromSeconds(0)), "1970-01-01T00:00:00Z");
  EXPECT_EQ(isoDate(dateFromSeconds(-0.5)), "1969-12-31T23:59:59Z");  // floor, not toward zero
  EXPECT_EQ(parseIsoDate("2026-12-06T16:14:12Z"), dateFromSeconds(1796573652));
  EXPECT_EQ(parseIsoDate("2026-12-06T17:14:12+01:00"), dateFromSeconds(1796573652));
  EXPECT_EQ(parseIsoDate("2026-12-06T16:14:12.5Z"), dateFromSeconds(1796573652.5));
  for (const char* bad :
       {"2024-02-30T12:00:00Z", "2026-12-06 16:14:12Z", "2026-12-06T16:14:12", "2026-12-06T16:14:12Zx",
        "2026-12-06T24:00:00Z", "2026-13-01T00:00:00Z", "2026-12-06T16:14:12+0100", ""})
    EXPECT_FALSE(parseIsoDate(bad)) << bad;
}
