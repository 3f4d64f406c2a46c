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
  PowerSnapshot s;
  s.timestamp = kAt;
  s.available = s.batteryInstalled = s.externalConnected = s.systemEstimated = true;
  s.batteryAmps = 1.5;
  s.systemWatts = 14.5;
  s.systemUpdatedAt = before(0.5);
  s.systemSource = PowerDataSource::sensor;
  s.cpuWatts = 3;
  s.gpuWatts = 0.5;
  s.componentsUpdatedAt = before(1);
  s.displayWatts = 2;
  s.displayUpdatedAt = before(2);
  s.inputWatts = 40;
  s.inputUpdatedAt = before(0);
  s.batteryWatts = -6.25;
  s.batteryUpdatedAt = before(0.1);
  return s;
}

// Every update time of `snapshot` set `seconds` before the snapshot, components `components` before.
PowerSnapshot aged(double seconds, double components) {
  PowerSnapshot s = freshSnapshot();
  s.systemUpdatedAt = s.displayUpdatedAt = s.inputUpdatedAt = s.batteryUpdatedAt = before(seconds);
  s.componentsUpdatedAt = before(components);
  return s;
}

TEST(HistoryRecord, TakesFreshValuesAndDropsStaleFutureNegativeAndNonFiniteOnes) {
  HistoryRecord record(freshSnapshot());
  EXPECT_EQ(record.second, 1'800'000'000);
  EXPECT_DOUBLE_EQ(record.observed, 1'800'000'000.75);
  EXPECT_EQ(std::tie(record.watts, record.cpu, record.gpu, record.display, record.input, record.battery),
            std::make_tuple(14.5, 3.0, 0.5, 2.0, 40.0, -6.25));
  EXPECT_TRUE(record.external && record.estimated);
  EXPECT_EQ(record.flow, "charging");
  EXPECT_EQ(record.source, "sensor");
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.25);
  // Before 1970 the second is still the floor.
  PowerSnapshot early = freshSnapshot();
  early.timestamp = dateFromSeconds(-1.5);
  EXPECT_EQ(HistoryRecord(early).second, -2);

  record = HistoryRecord(aged(2.01, 2.01));
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.display || record.input || record.battery);
  // The time of the whole-system reading is kept without any age test.
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.75 - 2.01);
  // Newer than the snapshot: components may be up to 0.25 s ahead, nothing else.
  record = HistoryRecord(aged(-0.01, -0.2));
  EXPECT_EQ(record.cpu, 3);
  EXPECT_EQ(record.gpu, 0.5);
  EXPECT_FALSE(record.watts || record.display || record.input || record.battery);
  EXPECT_FALSE(HistoryRecord(aged(-0.01, -0.3)).cpu);

  // Negative and non-finite values are no reading; zero is one, and the battery keeps its sign.
  PowerSnapshot odd = freshSnapshot();
  odd.systemWatts = odd.gpuWatts = odd.inputWatts = -0.1;
  odd.cpuWatts = odd.displayWatts = NAN;
  odd.batteryWatts = -INFINITY;
  record = HistoryRecord(odd);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.display || record.input || record.battery);
  odd.systemWatts = 0;
  odd.displayWatts = INFINITY;
  odd.batteryWatts = -12;
  record = HistoryRecord(odd);
  EXPECT_EQ(record.watts, 0);
  EXPECT_FALSE(record.display);
  EXPECT_EQ(record.battery, -12);

  // Without update times nothing counts, and an unavailable snapshot has no system power.
  PowerSnapshot undated = freshSnapshot();
  undated.systemUpdatedAt = undated.componentsUpdatedAt = undated.batteryUpdatedAt = std::nullopt;
  record = HistoryRecord(undated);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.battery || record.sensorTime);
  PowerSnapshot unavailable = freshSnapshot();
  unavailable.available = unavailable.batteryInstalled = false;
  record = HistoryRecord(unavailable);
  EXPECT_FALSE(record.watts);
  EXPECT_EQ(record.input, 40);
  EXPECT_EQ(record.flow, "unknown");
}

}  // namespace
}  // namespace wattline
