#include "history/history_record.h"
#include "history/history_types.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wattline {
namespace {

const Date kAt = dateFromSeconds(1'800'000'000.75);

Date before(double seconds) {
  return kAt - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds));
}

PowerSnapshot freshSnapshot() {
  PowerSnapshot snapshot;
  snapshot.timestamp = kAt;
  snapshot.available = true;
  snapshot.batteryInstalled = true;
  snapshot.externalConnected = true;
  snapshot.batteryAmps = 1.5;
  snapshot.systemWatts = 14.5;
  snapshot.systemUpdatedAt = before(0.5);
  snapshot.systemEstimated = true;
  snapshot.systemSource = PowerDataSource::sensor;
  snapshot.cpuWatts = 3;
  snapshot.gpuWatts = 0.5;
  snapshot.componentsUpdatedAt = before(1);
  snapshot.displayWatts = 2;
  snapshot.displayUpdatedAt = before(2);
  snapshot.inputWatts = 40;
  snapshot.inputUpdatedAt = before(0);
  snapshot.batteryWatts = -6.25;
  snapshot.batteryUpdatedAt = before(0.1);
  return snapshot;
}

TEST(HistoryRecord, TakesFreshValuesWithTheSnapshotsTimeAndLabels) {
  const HistoryRecord record(freshSnapshot());
  EXPECT_EQ(record.second, 1'800'000'000);
  EXPECT_DOUBLE_EQ(record.observed, 1'800'000'000.75);
  EXPECT_EQ(record.watts, 14.5);
  EXPECT_EQ(record.cpu, 3);
  EXPECT_EQ(record.gpu, 0.5);
  EXPECT_EQ(record.display, 2);
  EXPECT_EQ(record.input, 40);
  EXPECT_EQ(record.battery, -6.25);
  EXPECT_TRUE(record.external);
  EXPECT_EQ(record.flow, "charging");
  EXPECT_TRUE(record.estimated);
  EXPECT_EQ(record.source, "sensor");
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.25);

  // Before 1970 the second is still the floor.
  PowerSnapshot early = freshSnapshot();
  early.timestamp = dateFromSeconds(-1.5);
  EXPECT_EQ(HistoryRecord(early).second, -2);
}

TEST(HistoryRecord, DropsStaleFutureNegativeAndNonFiniteValues) {
  PowerSnapshot stale = freshSnapshot();
  stale.systemUpdatedAt = before(2.01);
  stale.componentsUpdatedAt = before(2.01);
  stale.displayUpdatedAt = before(2.01);
  stale.inputUpdatedAt = before(2.01);
  stale.batteryUpdatedAt = before(2.01);
  HistoryRecord record(stale);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.display || record.input || record.battery);
  // The time of the whole-system reading is kept without any age test.
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.75 - 2.01);

  // Newer than the snapshot: components may be up to 0.25 s ahead, nothing else.
  PowerSnapshot ahead = freshSnapshot();
  ahead.componentsUpdatedAt = before(-0.2);
  ahead.systemUpdatedAt = before(-0.01);
  ahead.displayUpdatedAt = before(-0.01);
  ahead.inputUpdatedAt = before(-0.01);
  ahead.batteryUpdatedAt = before(-0.01);
  record = HistoryRecord(ahead);
  EXPECT_EQ(record.cpu, 3);
  EXPECT_EQ(record.gpu, 0.5);
  EXPECT_FALSE(record.watts || record.display || record.input || record.battery);
  ahead.componentsUpdatedAt = before(-0.3);
  EXPECT_FALSE(HistoryRecord(ahead).cpu);

  PowerSnapshot odd = freshSnapshot();
  odd.systemWatts = -0.1;
  odd.cpuWatts = NAN;
  odd.gpuWatts = -1;
  odd.displayWatts = INFINITY;
  odd.inputWatts = -3;
  odd.batteryWatts = -INFINITY;
  record = HistoryRecord(odd);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.display || record.input || record.battery);
  odd.systemWatts = 0;  // zero is a reading
  odd.batteryWatts = -12;
  record = HistoryRecord(odd);
  EXPECT_EQ(record.watts, 0);
  EXPECT_EQ(record.battery, -12);

  // Without update times nothing counts, and an unavailable snapshot has no system power.
  PowerSnapshot undated = freshSnapshot();
  undated.systemUpdatedAt.reset();
  undated.componentsUpdatedAt.reset();
  undated.batteryUpdatedAt.reset();
  record = HistoryRecord(undated);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.battery || record.sensorTime);
  PowerSnapshot unavailable = freshSnapshot();
  unavailable.available = false;
  unavailable.batteryInstalled = false;
  record = HistoryRecord(unavailable);
  EXPECT_FALSE(record.watts);
  EXPECT_EQ(record.input, 40);
  EXPECT_EQ(record.flow, "unknown");
}

TEST(HistorySummary, AverageWeighsBucketsByTheirValidSeconds) {
  HistorySummary summary;
  EXPECT_FALSE(summary.average());
  HistoryBucket first, dark, busy;
  first.average = 10.0;
  first.valid = 1;
  dark.second = 6;
  busy.second = 12;
  busy.average = 20.0;
  busy.valid = 3;
  summary.buckets = {first, dark, busy};
  summary.valid = 4;
  EXPECT_DOUBLE_EQ(*summary.average(), 17.5);
}

}  // namespace
}  // namespace wattline
