// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_time.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unicode/strenum.h>

namespace wattline {
namespace {

// Makes `id` ICU's current zone for one test and restores the previous one after it.
class CurrentZone {
 public:
  explicit CurrentZone(const char* id) : previous_(icu::TimeZone::createDefault()) {
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(id));
  }
  ~CurrentZone() { icu::TimeZone::setDefault(*previous_); }

 private:
  std::unique_ptr<icu::TimeZone> previous_;
};

HistoryTimeZone zone(const char* id) {
  return HistoryTimeZone::named(id).value();
}

TEST(HistoryTime, LabelsCarryTheZoneOffsetAndParseOnlyRealDatesInTheExactShape) {
  EXPECT_EQ(HistoryTime::label(-1, *HistoryTimeZone::fixed(-(9 * 3600 + 30 * 60))),
            "1969-12-31 14:29:59 -0930");
  // The repeated hour is told apart by its offset, whatever the current zone.
  EXPECT_EQ(HistoryTime::label(1730611800, zone("America/New_York")), "2024-11-03 01:30:00 -0400");
  EXPECT_EQ(HistoryTime::label(1730615400, zone("America/New_York")), "2024-11-03 01:30:00 -0500");
  CurrentZone kolkata("Asia/Kolkata");  // the round trip below parses in other current zones
  EXPECT_EQ(HistoryTime::parse("2024-11-03 01:30:00 -0400"), 1730611800);
  EXPECT_EQ(HistoryTime::parse("2024-11-03 01:30:00 -0500"), 1730615400);
  EXPECT_EQ(HistoryTime::label(0), "1970-01-01 05:30:00 +0530");

  EXPECT_EQ(HistoryTime::parse("2024-02-29 12:00:00 +0000"), 1709208000);
  EXPECT_EQ(HistoryTime::parse("9999-12-31 23:59:59 +0000"), 253402300799) << "past the clock's time points";
  EXPECT_EQ(HistoryTime::parse("2024-01-01 12:00:00 -1400"), 1704110400 + 14 * 3600);
  for (const char* text :
       {// Dates the calendar would normalise.
        "2024-02-30 12:00:00 +0000", "2023-02-29 12:00:00 +0000", "1900-02-29 12:00:00 +0000",
        "2024-13-01 12:00:00 +0000", "2024-01-00 12:00:00 +0000", "2024-01-01 24:00:00 +0000",
        "2024-01-01 23:59:60 +0000",
        // Offsets beyond fourteen hours, or not written back the same ("-0000" becomes "+0000").
        "2024-01-01 12:00:00 +1430", "2024-01-01 12:00:00 +0960", "2024-01-01 12:00:00 -0000",
        // Every other shape.
        "2024-01-01 12:00:00 +0000 ", "2024-01-01 12:00 +0000", "2024-01-01T12:00:00 +0000",
        "2024-01-01 12:00:00 UTC", "2024-01-01 12:00:00 +01:00", "2024-1-01 12:00:00 +0000",
        "12024-01-01 12:00:00 +0000", "２０２４-01-01 12:00:00 +0000", "2024-01-01 12:00:00", ""})
    EXPECT_FALSE(HistoryTime::parse(text)) << text;
}

// Formatting then parsing gives the second back for every zone whose offset at that second is whole
// minutes; zones with an offset in seconds (local mean time) write a longer offset the parser refuses.
TEST(HistoryTime, LabelsParseBackToTheirSecond) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::StringEnumeration> ids(icu::TimeZone::createEnumeration(status));
  ASSERT_TRUE(U_SUCCESS(status));
  std::vector<std::string> named;
  while (const char* id = ids->next(nullptr, status)) named.emplace_back(id);
  ASSERT_GT(named.size(), 300u);

  std::mt19937_64 random(20241103);
  std::uniform_int_distribution<std::int64_t> seconds(-2208988800, 4102444799);  // 1900 … 2099
  std::uniform_int_distribution<std::size_t> pick(0, named.size() - 1);
  std::uniform_int_distribution<int> minutes(-14 * 60, 14 * 60);
  int checked = 0;
  for (const char* currentId :
       {"UTC", "America/New_York", "Europe/London", "Pacific/Chatham", "Asia/Kathmandu"}) {
    CurrentZone current(currentId);
    for (int i = 0; i < 300; ++i) {
      const std::int64_t second = seconds(random);
      const HistoryTimeZone z = i % 4 == 0 ? *HistoryTimeZone::fixed(minutes(random) * 60)
                                           : *HistoryTimeZone::named(named[pick(random)]);
      std::int32_t raw = 0, dst = 0;
      z.zone().getOffset(static_cast<UDate>(second) * 1000.0, false, raw, dst, status);
      const std::string text = HistoryTime::label(second, z);
      if ((raw + dst) % 60000 == 0) {
        ASSERT_EQ(HistoryTime::parse(text), second) << text << " in " << z.id();
        ++checked;
      } else {
        ASSERT_FALSE(HistoryTime::parse(text)) << text << " in " << z.id();
      }
    }
  }
  EXPECT_GT(checked, 1300);
}

}  // namespace
}  // namespace wattline
