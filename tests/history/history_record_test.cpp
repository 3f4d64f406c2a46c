// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_record.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wattline {
namespace {

const Date kAt = dateFromSeconds(1'800'000'000.75);

Date before(double seconds) {
  return kAt - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds));
}

// Every group fresh; `age` moves all update times but the components', which move by `components`.
PowerSnapshot snapshot(std::optional<double> age = std::nullopt, double components = 1) {
  PowerSnapshot s;
  s.timestamp = kAt;
  s.available = s.batteryInstalled = s.externalConnected = s.systemEstimated = true;
  s.batteryAmps = 1.5;
  s.systemSource = PowerDataSource::sensor;
  std::tie(s.systemWatts, s.cpuWatts, s.gpuWatts, s.displayWatts, s.inputWatts, s.batteryWatts) =
      std::make_tuple(14.5, 3.0, 0.5, 2.0, 40.0, -6.25);
  std::tie(s.systemUpdatedAt, s.displayUpdatedAt, s.inputUpdatedAt, s.batteryUpdatedAt) =
      age ? std::make_tuple(before(*age), before(*age), before(*age), before(*age))
          : std::make_tuple(before(0.5), before(2), before(0), before(0.1));
  s.componentsUpdatedAt = before(components);
  return s;
}

auto values(const HistoryRecord& r) {
  return std::make_tuple(r.watts, r.cpu, r.gpu, r.display, r.input, r.battery);
}
const auto kNone = std::make_tuple(std::optional<double>(), std::optional<double>(), std::optional<double>(),
                                   std::optional<double>(), std::optional<double>(), std::optional<double>());

TEST(HistoryRecord, TakesFreshValuesAndDropsStaleFutureNegativeAndNonFiniteOnes) {
  HistoryRecord record(snapshot());
  EXPECT_EQ(record.second, 1'800'000'000);
  EXPECT_DOUBLE_EQ(record.observed, 1'800'000'000.75);
  EXPECT_EQ(values(record), std::make_tuple(14.5, 3.0, 0.5, 2.0, 40.0, -6.25));
  EXPECT_EQ(std::make_tuple(record.external, record.estimated, record.flow, record.source),
            std::make_tuple(true, true, std::string("charging"), std::string("sensor")));
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.25);
  PowerSnapshot early = snapshot();
  early.timestamp = dateFromSeconds(-1.5);
  EXPECT_EQ(HistoryRecord(early).second, -2);  // floor before 1970 too

  record = HistoryRecord(snapshot(2.01, 2.01));
  EXPECT_EQ(values(record), kNone);
  EXPECT_DOUBLE_EQ(*record.sensorTime, 1'800'000'000.75 - 2.01);  // kept without an age test
  // Newer than the snapshot: components may be up to 0.25 s ahead, nothing else.
  EXPECT_EQ(values(HistoryRecord(snapshot(-0.01, -0.2))),
            std::make_tuple(std::nullopt, 3.0, 0.5, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_FALSE(HistoryRecord(snapshot(-0.01, -0.3)).cpu);

  // Negative and non-finite values are no reading; zero is one, and the battery keeps its sign.
  PowerSnapshot odd = snapshot();
  odd.systemWatts = odd.gpuWatts = odd.inputWatts = -0.1;
  odd.cpuWatts = odd.displayWatts = NAN;
  odd.batteryWatts = -INFINITY;
  EXPECT_EQ(values(HistoryRecord(odd)), kNone);
  odd.systemWatts = 0;
  odd.displayWatts = INFINITY;
  odd.batteryWatts = -12;
  record = HistoryRecord(odd);
  EXPECT_EQ(std::make_tuple(record.watts, record.display, record.battery),
            std::make_tuple(0.0, std::nullopt, -12.0));

  // Without update times nothing counts, and an unavailable snapshot has no system power.
  PowerSnapshot undated = snapshot();
  undated.systemUpdatedAt = undated.componentsUpdatedAt = undated.batteryUpdatedAt = std::nullopt;
  record = HistoryRecord(undated);
  EXPECT_FALSE(record.watts || record.cpu || record.gpu || record.battery || record.sensorTime);
  PowerSnapshot unavailable = snapshot();
  unavailable.available = unavailable.batteryInstalled = false;
  record = HistoryRecord(unavailable);
  EXPECT_EQ(std::make_tuple(record.watts, record.input, record.flow),
            std::make_tuple(std::nullopt, 40.0, std::string("unknown")));
}

}  // namespace
}  // namespace wattline
