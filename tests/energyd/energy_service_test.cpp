#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "energyd/counter_share.h"
#include "platform/linux/energy_service.h"
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

std::int64_t monotonicNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
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
  for (const auto& [now, readAt] :
       std::vector<std::pair<std::int64_t, std::int64_t>>{{5 * kSecond, 5 * kSecond},
                                                          {6 * kSecond - 1, 5 * kSecond},
                                                          {6 * kSecond, 6 * kSecond},
                                                          {5 * kSecond, 6 * kSecond},
                                                          {9 * kSecond, 9 * kSecond}})
    EXPECT_EQ(share.answer(now, read).readAtNanoseconds, readAt) << now;
  EXPECT_EQ(reads, 3);
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
  const bool withinTheSecond = monotonicNow() < readAt + kSecond;
  const auto second = client.read();
  if (withinTheSecond) {
    EXPECT_EQ(std::make_tuple(second.reading->readAtNanoseconds, counters(second)),
              std::make_tuple(readAt, counters(first)));
  }
  // A second later: a new read, which leaves the vanished counter out.
  std::this_thread::sleep_until(
      std::chrono::steady_clock::time_point(std::chrono::nanoseconds(readAt + kSecond)));
  const auto third = client.read();
  EXPECT_GE(third.reading->readAtNanoseconds, readAt + kSecond);
  EXPECT_EQ(counters(third), (Counters{{"intel-rapl-mmio:0", 7000, std::nullopt},
                                       {"intel-rapl:0", 5'000'600'000, kRange},
                                       {"intel-rapl:0:1", 400'000'000, kRange},
                                       {"intel-rapl:1", 9'000'000'000, kRange}}));
}

// Each call puts the end off; a call after the end starts the service again.
TEST_F(EnergyService, ExitsWhenIdleAndIsStartedAgain) {
  testing::PrivateSystemBus bus(tree.root(), 1.0);
  EnergyServiceClient client(clock, bus.address());
  for (int call = 0; call < 3; ++call) {
    ASSERT_TRUE(client.read().reading);
    EXPECT_TRUE(bus.serviceRunning()) << call;
    std::this_thread::sleep_for(600ms);
  }
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (bus.serviceRunning() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(bus.serviceRunning());
  EXPECT_TRUE(client.read().reading);
}

}  // namespace
}  // namespace wattline
