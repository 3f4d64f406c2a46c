// SPDX-License-Identifier: GPL-3.0-or-later

#include "power/app_energy_ledger.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace wattline {
namespace {

constexpr std::int64_t kMinute = 1'800'000'000;  // a whole minute
constexpr std::uint64_t kJ = 1'000'000'000;      // nanojoules

struct Process {
  std::int32_t pid;
  const char* group;
  double joules;
  double cpu;
};

// A batch `t` seconds after kMinute, the clocks in step.
ProcessEnergyBatch batch(double t, const std::vector<Process>& processes, double packageJoules) {
  ProcessEnergyBatch b{dateFromSeconds(static_cast<double>(kMinute) + t),
                       1000 + t,
                       true,
                       {},
                       static_cast<std::uint64_t>(packageJoules * kJ)};
  for (const Process& p : processes)
    b.counters.push_back({p.pid, 7, static_cast<std::uint64_t>(p.joules * kJ), p.group,
                          std::string("name of ") + p.group, std::nullopt, p.cpu});
  return b;
}

// The shares of a minute by app, in joules.
std::map<std::string, double> joules(const LedgerMinute& minute) {
  std::map<std::string, double> byApp;
  for (const auto& share : minute.shares) byApp[share.app] = share.joules;
  return byApp;
}

// Every 10 s from 5 s into a minute: two processes of one app use 4 J an interval, a third app 2 J until it
// ends unseen after 35 s; the package uses 10 J an interval. The interval that crosses the minute is split
// by time, and the last one ran on the adapter.
TEST(AppEnergyLedger, BillsEachMinuteAndTheRestToNobody) {
  AppEnergyLedger ledger;
  std::vector<LedgerMinute> minutes;
  for (int i = 0; i <= 6; ++i) {
    const double t = 5 + 10 * i;
    std::vector<Process> processes = {{1, "desktop:a", 3.0 * i, 1.0 * i}, {2, "desktop:a", 1.0 * i, 0}};
    if (t <= 35) processes.push_back({3, "exec:/b", 2.0 * i, 1.0 * i});
    for (auto& minute : ledger.add(batch(t, processes, 10.0 * i), t < 60)) minutes.push_back(minute);
    EXPECT_TRUE(t >= 60 || minutes.empty()) << t;
  }
  ASSERT_EQ(minutes.size(), 1u);
  const LedgerMinute& first = minutes[0];
  EXPECT_EQ(std::make_tuple(first.minute, first.seconds, first.onBattery),
            std::make_tuple(kMinute, 55.0, true));
  // exec:/b is billed up to its last sighting; the rest of the package's energy goes to no one.
  EXPECT_EQ(joules(first),
            (std::map<std::string, double>{{kUnbilledApp, 27}, {"desktop:a", 22}, {"exec:/b", 6}}));
  EXPECT_EQ(
      std::make_tuple(first.shares.at(0).name, first.shares.at(0).cpuSeconds, first.shares.at(1).cpuSeconds),
      std::make_tuple("", std::nullopt, 5.5));

  const std::vector<LedgerMinute> rest = ledger.finish();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(std::make_tuple(rest[0].minute, rest[0].seconds, rest[0].onBattery),
            std::make_tuple(kMinute + 60, 5.0, false));
  EXPECT_EQ(joules(rest[0]), (std::map<std::string, double>{{"", 3}, {"desktop:a", 2}}));
  EXPECT_TRUE(ledger.finish().empty());
}

// A sleep, a clock change, a missing or backward package counter, a restarted process: nothing is billed
// for that interval, and nothing is made up for it.
TEST(AppEnergyLedger, IntervalsItCannotMeasureAreGaps) {
  // The second batch, 10 s after the first, changed by each case.
  const struct {
    const char* name;
    std::function<void(ProcessEnergyBatch&)> change;
    std::map<std::string, double> billed;
  } cases[] = {
      {"in step", [](ProcessEnergyBatch&) {}, {{"", 5}, {"desktop:a", 4}}},
      {"a sleep", [](ProcessEnergyBatch& b) { b.timestamp += std::chrono::seconds(60); }, {}},
      {"a clock set back", [](ProcessEnergyBatch& b) { b.uptime = 1013; }, {}},
      {"no package counter", [](ProcessEnergyBatch& b) { b.packageNanojoules.reset(); }, {}},
      {"package backwards", [](ProcessEnergyBatch& b) { b.packageNanojoules = kJ / 2; }, {}},
      {"restarted", [](ProcessEnergyBatch& b) { b.counters[0].startTime = 8; }, {{"", 9}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppEnergyLedger ledger;
    ledger.add(batch(0, {{1, "desktop:a", 0, 0}}, 1), true);
    ProcessEnergyBatch second = batch(10, {{1, "desktop:a", 4, 1}}, 10);
    c.change(second);
    ledger.add(second, true);
    const auto minutes = ledger.finish();
    EXPECT_EQ((minutes.empty() ? std::map<std::string, double>{} : joules(minutes.at(0))), c.billed);
  }
}

}  // namespace
}  // namespace wattline
