// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "history_test_support.h"
#include "platform/testing/history_week.h"

namespace wattline {
namespace {

using namespace testing;

constexpr std::int64_t kM = kBase;  // a whole minute

LedgerMinute minute(std::int64_t start, bool onBattery, std::vector<AppMinuteShare> apps, double unbilled,
                    double seconds = 60) {
  apps.push_back({kUnbilledApp, "", unbilled, std::nullopt});
  return {start, seconds, onBattery, std::move(apps)};
}

std::vector<std::pair<std::string, double>> ranked(const AppEnergyRanking& ranking) {
  std::vector<std::pair<std::string, double>> apps;
  for (const auto& app : ranking.apps) apps.emplace_back(app.app, app.joules);
  return apps;
}

// The history of the current release keeps every row, sample and ledger minute; its samples and ledger go
// on, and the overview's sums are added in place.
TEST(AppLedgerStore, UpgradesTheCurrentReleasesHistoryInPlace) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  std::ofstream{url};
  const std::string second = std::to_string(kBase - 3 * kHistoryBucketWidth);
  // An app with a minute of its own, and one no minute names.
  Inspector(url).execute(std::string(kHistoryUpgrades[0]) + kHistoryUpgrades[1] +
                         "PRAGMA user_version=2; PRAGMA application_id=1465142350;"
                         "INSERT INTO samples VALUES (" +
                         second + ",0,5,NULL,NULL,NULL,NULL,NULL,0,'',0,'',NULL,'',0,0);" +
                         "INSERT INTO apps VALUES (1,'desktop:a','A'), (2,'desktop:b','B');"
                         "INSERT INTO ledger_minutes VALUES (" +
                         std::to_string(kM - 60) + ",60,1); INSERT INTO app_minutes VALUES (" +
                         std::to_string(kM - 60) + ",1,12,1);");
  HistoryStore store(url);
  write(store, makeRecord(kBase, 10));
  store.recordLedger({minute(kM, true, {{"desktop:a", "A", 30, 2}}, 6)}, dateFromSeconds(kM + 61));
  Inspector db(url);
  EXPECT_EQ(
      std::make_tuple(db.text("PRAGMA user_version"), db.count(), db.text("SELECT COUNT(*) FROM app_minutes"),
                      db.text("SELECT SUM(rows) FROM sample_buckets"),
                      db.text("SELECT group_concat(key) FROM apps WHERE key <> ''")),
      std::make_tuple("3", 2, "3", "1", "desktop:a"));
  EXPECT_EQ(store.appRanking(kM - 60, kM + 59, false, dateFromSeconds(kM + 61)).billedJoules, 42);
}

// Twelve apps over three minutes, one of them on the adapter and one written in two parts by two runs.
TEST(AppLedgerStore, RanksTheTopTenWithTheUnbilledEnergyApart) {
  FixtureCopy directory("");
  HistoryStore store(directory.path("history.sqlite3"));
  const Date now = dateFromSeconds(kM + 200);
  std::vector<AppMinuteShare> twelve;
  for (int k = 0; k < 12; ++k) twelve.push_back({"exec:/bin/p" + std::to_string(k), "P", 1.0 + k, 0.5});
  store.recordLedger(
      {minute(kM, true, twelve, 10), minute(kM + 60, false, {{"exec:/bin/p0", "P0", 100, 1}}, 5)}, now);
  store.recordLedger({minute(kM + 120, true, {{"exec:/bin/p1", "P1", 20, 1}}, 1, 30)}, now);
  store.recordLedger({minute(kM + 120, true, {{"exec:/bin/p1", "P1", 20, 1}}, 1, 20)}, now);

  const AppEnergyRanking all = store.appRanking(kM, kM + 179, false, now);
  EXPECT_EQ(all.apps.size(), 10u);
  EXPECT_EQ(ranked(all).front(), std::make_pair(std::string("exec:/bin/p0"), 101.0));
  EXPECT_EQ(ranked(all)[1], std::make_pair(std::string("exec:/bin/p1"), 42.0));
  EXPECT_EQ(all.apps[1].name, "P1");
  EXPECT_EQ(std::make_tuple(all.billedJoules, all.seconds, all.unbilled->joules, all.unbilled->cpuSeconds),
            std::make_tuple(78.0 + 100 + 40, 170.0, 17.0, std::optional<double>()));
  EXPECT_DOUBLE_EQ(*averageWatts(all.apps[0], all), 101.0 / 170);
  EXPECT_DOUBLE_EQ(*energyShare(all.apps[0], all), 101.0 / 218);

  const AppEnergyRanking battery = store.appRanking(kM, kM + 179, true, now);
  EXPECT_EQ(std::make_tuple(battery.billedJoules, battery.seconds, ranked(battery).front().second),
            std::make_tuple(78.0 + 40, 110.0, 42.0));

  const AppEnergyRanking empty = store.appRanking(kM + 300, kM + 400, false, now);
  EXPECT_EQ(empty, AppEnergyRanking{});
  EXPECT_FALSE(energyShare(AppEnergyTotal{}, empty) || averageWatts(AppEnergyTotal{}, empty));

  // Its power per measured minute; the minute it did not run is left out, not zero.
  EXPECT_EQ(store.appPower("exec:/bin/p1", kM, kM + 179, now),
            (std::vector<AppPowerPoint>{{kM, 2.0 / 60}, {kM + 120, 40.0 / 50}}));
}

// The ledger keeps the samples' week: older minutes go with the samples, and the apps they named with them;
// minutes after now are not written.
TEST(AppLedgerStore, KeepsTheRetainedWeekOnly) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  const Date now = dateFromSeconds(kM + 0.5);
  HistoryStore(url).recordLedger(
      {minute(kM - kHistoryRetention, true, {}, 1),
       minute(kM - kHistoryRetention + 60, true, {{"desktop:old", "Old", 1, 1}}, 1),
       minute(kM, true, {{"desktop:new", "New", 1, 1}}, 1),
       minute(kM - kHistoryRetention + 120, true, {{"desktop:new", "New", 1, 1}}, 1),
       minute(kM + 60, true, {}, 1)},
      now);
  Inspector db(url);
  const std::string minutes = "SELECT group_concat(minute - " + std::to_string(kM) + ") FROM ledger_minutes";
  EXPECT_EQ(db.text(minutes),
            std::to_string(60 - kHistoryRetention) + "," + std::to_string(120 - kHistoryRetention) + ",0");
  HistoryStore(url).prune(kM + 150);
  EXPECT_EQ(std::make_tuple(db.text(minutes), db.text("SELECT group_concat(key) FROM apps WHERE key <> ''")),
            std::make_tuple("0", "desktop:new"));
}

// Whole hours are read from their sums and the rest by minute: both give what the minutes hold, also after a
// minute was added to an hour already summed.
TEST(AppLedgerStore, RanksAGeneratedWeek) {
  ScratchDirectory directory;
  const std::filesystem::path url = directory.path() / "history.sqlite3";
  fillWeekLedger(url, 40);
  HistoryStore store(url);
  const Date now = dateFromSeconds(kWeekEnd + 0.5);
  const AppEnergyRanking week = store.appRanking(kWeekStart, kWeekEnd, false, now);
  ASSERT_EQ(week.apps.size(), 10u);
  EXPECT_EQ(std::make_tuple(week.apps[0].app, week.apps[9].app),
            std::make_tuple("desktop:app0", "desktop:app9"));
  EXPECT_NEAR(*averageWatts(week.apps[0], week), 1.6, 0.02);
  EXPECT_NEAR(*averageWatts(*week.unbilled, week), 2.0, 1e-9);

  Inspector db(url);
  const std::int64_t late = kWeekEnd - 86400 * 3 + 1800;
  store.recordLedger({minute(late / 60 * 60, true, {{"desktop:app5", "", 1000, 1}}, 0, 0)}, now);
  for (const auto& [from, through] :
       {std::pair{kWeekStart, kWeekEnd}, std::pair{kWeekEnd - 86400 * 4 + 1234, kWeekEnd - 777}})
    for (const bool battery : {false, true}) {
      const AppEnergyRanking ranking = store.appRanking(from, through, battery, now);
      const std::string range = std::to_string(from) + " AND " + std::to_string(through);
      const std::string filter = battery ? " AND on_battery" : "";
      EXPECT_NEAR(ranking.seconds,
                  std::stod(*db.text("SELECT SUM(seconds) FROM ledger_minutes WHERE minute BETWEEN " + range +
                                     filter)),
                  1e-6);
      for (const AppEnergyTotal& app : ranking.apps)
        EXPECT_NEAR(
            app.joules,
            std::stod(*db.text("SELECT SUM(joules) FROM app_minutes JOIN ledger_minutes USING (minute) "
                               "WHERE app=(SELECT id FROM apps WHERE key='" +
                               app.app + "') AND minute BETWEEN " + range + filter)),
            1e-6)
            << app.app << " " << from << " " << battery;
    }
  const AppEnergyRanking battery = store.appRanking(kWeekStart, kWeekEnd, true, now);
  EXPECT_NEAR(battery.seconds / week.seconds, 7.0 / 24, 1e-3);

  // Over the week the app's power comes by hour where the hour is summed, one after the other.
  double energy = 0, seconds = 0, hours = 0;
  std::int64_t end = 0;
  for (const AppPowerPoint& point : store.appPower("desktop:app0", kWeekStart, kWeekEnd, now)) {
    EXPECT_GE(point.minute, end);
    end = point.minute + point.width;
    energy += point.watts * static_cast<double>(point.width), seconds += static_cast<double>(point.width);
    hours += point.width == 3600 ? 1 : 0;
  }
  EXPECT_NEAR(energy / seconds, 1.6, 0.02);
  EXPECT_EQ(hours,
            168 - 3);  // not the first (partly retained), the newest nor the one the late minute reopened
}

}  // namespace
}  // namespace wattline
