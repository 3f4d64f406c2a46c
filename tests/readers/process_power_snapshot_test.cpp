#include "readers/process_power_snapshot.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

using Phase = ProcessPowerSnapshot::Phase;

TEST(ProcessPowerSnapshot, FreshForSixSecondsAndOneSecondAhead) {
  const Date updated = dateFromSeconds(1'780'000'000);
  ProcessPowerSnapshot snapshot{Phase::ready, {}, updated};
  EXPECT_TRUE(snapshot.isFresh(updated + std::chrono::seconds(6)));
  EXPECT_FALSE(snapshot.isFresh(updated + std::chrono::milliseconds(6100)));
  EXPECT_TRUE(snapshot.isFresh(updated - std::chrono::seconds(1)));
  EXPECT_FALSE(snapshot.isFresh(updated - std::chrono::milliseconds(1100)));
  EXPECT_FALSE(ProcessPowerSnapshot{}.isFresh(updated));
}

TEST(ProcessPowerSnapshot, JSONKeysAndRoundTrip) {
  // 2026-12-06T16:14:12Z, with a fraction the text leaves out.
  const Date updated = dateFromSeconds(1796573652.25);
  auto preview = ProcessPowerSnapshot::preview(updated);
  nlohmann::json json = preview.toJSON();
  EXPECT_EQ(json["phase"], "ready");
  EXPECT_EQ(json["updatedAt"], "2026-12-06T16:14:12Z");
  ASSERT_EQ(json["rows"].size(), 3u);
  EXPECT_EQ(json["rows"][0],
            (nlohmann::json{{"id", "browser"}, {"name", "浏览器"}, {"watts", 1.243}, {"processCount", 6}}));
  EXPECT_EQ(json["rows"][2]["name"], "瓦迹");

  auto decoded = ProcessPowerSnapshot::fromJSON(json);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->rows, preview.rows);
  EXPECT_EQ(decoded->updatedAt, dateFromSeconds(1796573652));

  // The default snapshot has no date, and none is written.
  nlohmann::json idle = ProcessPowerSnapshot{}.toJSON();
  EXPECT_EQ(idle, (nlohmann::json{{"phase", "idle"}, {"rows", nlohmann::json::array()}}));
  EXPECT_EQ(ProcessPowerSnapshot::fromJSON(idle), ProcessPowerSnapshot{});
}

TEST(ProcessPowerSnapshot, RejectsIncompleteJSON) {
  auto valid = ProcessPowerSnapshot::preview(dateFromSeconds(1796573652)).toJSON();
  auto without = [&](auto edit) {
    nlohmann::json json = valid;
    edit(json);
    return ProcessPowerSnapshot::fromJSON(json);
  };
  EXPECT_FALSE(without([](auto& j) { j.erase("phase"); }));
  EXPECT_FALSE(without([](auto& j) { j.erase("rows"); }));
  EXPECT_FALSE(without([](auto& j) { j["phase"] = "busy"; }));
  EXPECT_FALSE(without([](auto& j) { j["rows"][1].erase("processCount"); }));
  EXPECT_FALSE(without([](auto& j) { j["rows"][0]["watts"] = "1.2"; }));
  EXPECT_FALSE(without([](auto& j) { j["updatedAt"] = "2026-02-30T10:00:00Z"; }));
  EXPECT_FALSE(without([](auto& j) { j["updatedAt"] = "yesterday"; }));
  EXPECT_FALSE(ProcessPowerSnapshot::fromJSON(nlohmann::json::array()));
  EXPECT_TRUE(without([](auto& j) { j.erase("updatedAt"); }));
  EXPECT_EQ(parseProcessPowerPhase("unavailable"), Phase::unavailable);
}

}  // namespace
}  // namespace wattline
