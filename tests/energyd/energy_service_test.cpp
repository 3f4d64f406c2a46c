// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "energyd/counter_share.h"
#include "platform/linux/energy_counters.h"
#include "platform/linux/energy_service.h"
#include "platform/linux/energy_service_counters.h"
#include "platform/linux/system_clock.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/private_system_bus.h"

namespace wattline {
namespace {

using namespace std::chrono_literals;
using Counters = std::vector<std::tuple<std::string, std::int64_t, std::optional<std::int64_t>>>;
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::optional<std::int64_t> kRange = 262'143'328'850;

Counters counters(const ServiceAnswer& answer) {
  Counters values;
  if (answer.reading)
    for (const auto& c : answer.reading->counters) values.emplace_back(c.zone, c.microjoules, c.maxRange);
  return values;
}

// Calls within a second of a read share it, values and time; the clock is handed in, and one going back
// keeps the last read.
TEST(CounterShare, OneReadASecondForAllCallers) {
  energyd::CounterShare share;
  int reads = 0;
  const auto read = [&](std::int64_t at) {
    ++reads;
    return energyd::CountersRead{at, {}};
  };
  // (now, the read time answered)
  const std::pair<std::int64_t, std::int64_t> calls[] = {{5 * kSecond, 5 * kSecond},
                                                         {6 * kSecond - 1, 5 * kSecond},
                                                         {6 * kSecond, 6 * kSecond},
                                                         {5 * kSecond, 6 * kSecond}};
  for (const auto& [now, readAt] : calls) EXPECT_EQ(share.answer(now, read).readAtNanoseconds, readAt) << now;
  EXPECT_EQ(reads, 2);
}

// A laptop's counters, root's alone as since Linux 5.10, with the MMIO view of its package and a powercap
// zone that is no RAPL domain.
class EnergyService : public ::testing::Test {
 protected:
  EnergyService() {
    tree.write("class/powercap/intel-rapl-mmio:0/name", "package-0");
    tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "7000");
    tree.write("class/powercap/dtpm:0/name", "package-0");
    tree.write("class/powercap/dtpm:0/energy_uj", "1");
    for (const auto& zone : std::filesystem::directory_iterator(tree.root() + "/class/powercap"))
      ::chmod((zone.path() / "energy_uj").c_str(), 0400);
  }

  testing::FixtureTree tree{WATTLINE_FIXTURES "/sysfs/laptop-battery"};
  testing::ManualScheduler scheduler;
  std::shared_ptr<testing::ManualClock> clock =
      std::make_shared<testing::ManualClock>(scheduler, dateFromSeconds(1.8e9));
};

TEST_F(EnergyService, ReadsEveryRaplZoneAtMostOnceASecond) {
  testing::PrivateSystemBus bus(tree.root());
  EnergyServiceClient client(clock, bus.address());
  const auto first = client.read();
  ASSERT_TRUE(first.reading) << first.problem;
  EXPECT_EQ(counters(first), (Counters{{"intel-rapl-mmio:0", 7000, std::nullopt},
                                       {"intel-rapl:0", 5'000'000'000, kRange},
                                       {"intel-rapl:0:0", 3'000'000'000, kRange},
                                       {"intel-rapl:0:1", 400'000'000, kRange},
                                       {"intel-rapl:1", 9'000'000'000, kRange}}));
  // Within the second every caller gets that read, though a counter moved and another vanished meanwhile.
  const std::int64_t readAt = first.reading->readAtNanoseconds;
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5000600000");
  tree.remove("class/powercap/intel-rapl:0:0/energy_uj");
  const auto nextSecond = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(readAt + kSecond));
  const bool withinTheSecond = std::chrono::steady_clock::now() < nextSecond;
  const auto second = client.read();
  if (withinTheSecond) {
    EXPECT_EQ(std::make_tuple(second.reading->readAtNanoseconds, counters(second)),
              std::make_tuple(readAt, counters(first)));
  }
  // A second later: a new read, which leaves the vanished counter out.
  std::this_thread::sleep_until(nextSecond);
  const auto third = client.read();
  EXPECT_EQ(counters(third), (Counters{{"intel-rapl-mmio:0", 7000, std::nullopt},
                                       {"intel-rapl:0", 5'000'600'000, kRange},
                                       {"intel-rapl:0:1", 400'000'000, kRange},
                                       {"intel-rapl:1", 9'000'000'000, kRange}}));
}

// Each call puts the end off; a call after the end starts the service again.
TEST_F(EnergyService, ExitsWhenIdleAndIsStartedAgain) {
  testing::PrivateSystemBus bus(tree.root(), 1.0);
  EnergyServiceClient client(clock, bus.address());
  ASSERT_TRUE(client.read().reading);
  const auto pid = bus.servicePid();
  ASSERT_TRUE(pid);
  for (int call = 0; call < 3; ++call) {
    std::this_thread::sleep_for(600ms);
    ASSERT_TRUE(client.read().reading);
    EXPECT_EQ(bus.servicePid(), pid) << call;
  }
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (bus.servicePid() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(bus.servicePid());
  EXPECT_TRUE(client.read().reading);
  const auto again = bus.servicePid();
  EXPECT_TRUE(again && again != pid);
}

// A counter the program cannot read (here: a directory where the file belongs) comes from the service, timed
// by the service's read. Without the service the reason says why both paths failed; after a failure the
// service is asked again only ten seconds later, on a connection made anew.
TEST_F(EnergyService, ClosedCountersThroughTheServiceOrWhyNot) {
  testing::FixtureTree closed(WATTLINE_FIXTURES "/sysfs/desktop");
  const std::string path = closed.root() + "/class/powercap/intel-rapl:0/energy_uj";
  const auto through = [&](const std::string& address, std::shared_ptr<const Clock> readClock) {
    auto client = std::make_shared<EnergyServiceClient>(readClock, address);
    return std::make_pair(
        client, std::make_unique<EnergyServiceCounters>(
                    std::make_unique<SysfsEnergyCounters>(closed.root(), *readClock), client, *readClock));
  };
  testing::PrivateSystemBus bus(tree.root());
  auto system = std::make_shared<SystemClock>();
  auto [client, source] = through(bus.address(), system);
  const EnergyCounterReading counter = source->read().counters.at(0);
  EXPECT_EQ(std::make_tuple(counter.microjoules, counter.maxRange, counter.problem),
            std::make_tuple(5'000'000'000, kRange, std::nullopt));
  const auto served = client->read();
  EXPECT_EQ(counter.uptime, static_cast<double>(served.reading->readAtNanoseconds) / 1e9);
  EXPECT_LT(std::abs(secondsBetween(counter.readAt, system->now())), 1.5);

  const std::string unreadable = "unreadable: " + path + " (Is a directory); energy service: ";
  testing::PrivateSystemBus withoutService;
  EXPECT_EQ(through(withoutService.address(), clock).second->read().counters.at(0).problem->text(),
            unreadable + "not available (org.freedesktop.DBus.Error.ServiceUnknown)");
  EXPECT_EQ(through("unix:path=/nonexistent/socket", clock).second->read().counters.at(0).problem->text(),
            unreadable + "no system bus (No such file or directory)");

  const auto retrying = through(bus.address(), clock).second;
  EXPECT_FALSE(retrying->read().counters.at(0).problem);
  bus.stop();
  const auto broken = retrying->read().counters.at(0).problem;
  ASSERT_TRUE(broken);
  bus.start();
  scheduler.advance(9.9);
  EXPECT_EQ(retrying->read().counters.at(0).problem, broken);
  scheduler.advance(0.1);
  EXPECT_FALSE(retrying->read().counters.at(0).problem);
}

}  // namespace
}  // namespace wattline
