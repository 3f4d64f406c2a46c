// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/power_supply.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "platform/fixture_copy.h"
#include "platform/linux/energy_counters.h"
#include "platform/linux/sysfs_file.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"

namespace wattline {
namespace {

using Kind = UnavailableReason::Kind;
const Date kStart = dateFromSeconds(1'800'000'000);

std::string fixture(const std::string& name) {
  return std::string(WATTLINE_FIXTURES) + "/sysfs/" + name;
}

// Readings of each fixture machine are checked through the power reader; here what it cannot tell apart:
// which entries count and why an attribute is missing.
TEST(SysfsSources, SuppliesAndWhyAnAttributeIsMissing) {
  const auto laptop = readPowerSupplies(fixture("laptop-battery"), kStart);
  ASSERT_EQ(laptop.supplies.size(), 2u);  // the mouse's own battery is not the system's
  const auto garbage = readPowerSupplies(fixture("bad-values"), kStart).supplies;
  ASSERT_EQ(garbage.size(), 2u);  // the UPS and the entry without a type are left out
  const auto& battery = garbage[1];
  for (const char* attribute : {"current_now", "voltage_now", "capacity"})
    EXPECT_EQ(battery.whyAbsent(attribute).kind, Kind::malformed) << attribute;
  EXPECT_EQ(garbage[0].whyAbsent("online").text(),
            "malformed: " + fixture("bad-values") + "/class/power_supply/AC/online (\"banana\")");
  const auto unreadable = readPowerSupplies(fixture("battery-power-only"), kStart).supplies[1];
  EXPECT_EQ(
      std::make_tuple(unreadable.whyAbsent("current_now").kind, unreadable.whyAbsent("charge_now").kind),
      std::make_tuple(Kind::unreadable, Kind::notReported));
  EXPECT_TRUE(readPowerSupplies(fixture("no-such-machine"), kStart).supplies.empty());
}

// The platform's fans first; a suspended card's fan is not read, which would wake it.
TEST(SysfsSources, FansAndSleepingDevices) {
  testing::ManualScheduler scheduler;
  testing::ManualClock clock(scheduler, kStart);
  testing::FixtureTree tree(fixture("amd-apu"));
  const std::string status = "devices/pci0000:00/0000:00:01.1/0000:01:00.0/power/runtime_status";
  using Rpms = std::vector<std::optional<std::int64_t>>;
  const auto rpms = [](const std::vector<FanReading>& fans) {
    Rpms values;
    for (const auto& fan : fans) values.push_back(fan.rpm);
    return values;
  };
  EXPECT_EQ(rpms(HwmonFans(tree.root(), clock).read()), (Rpms{2900}));
  tree.write(status, "active");
  HwmonFans fans(tree.root(), clock);
  EXPECT_EQ(rpms(fans.read()), (Rpms{2900, 1800}));
  tree.write(status, "suspended");
  EXPECT_EQ(rpms(fans.read()), (Rpms{2900, std::nullopt}));
  // Without fans they are looked for again once 10 s have passed.
  testing::FixtureTree none(fixture("battery-power-only"));
  HwmonFans later(none.root(), clock);
  EXPECT_EQ(rpms(later.read()), Rpms{});
  none.write("class/hwmon/hwmon0/fan1_input", "1500");
  scheduler.advance(9.9);
  EXPECT_EQ(rpms(later.read()), Rpms{});
  scheduler.advance(0.1);
  EXPECT_EQ(rpms(later.read()), (Rpms{1500}));
}

// The APU's monitor reports the northbridge voltage, the card's only the graphics voltage; the card is
// suspended, so it is taken on trust and not read.
TEST(SysfsSources, EnergyCountersAndWhatTheyMeasure) {
  testing::ManualScheduler scheduler;
  testing::ManualClock clock(scheduler, kStart);
  const auto domains = [&](const std::string& root) {
    std::vector<std::pair<EnergyDomain, bool>> found;
    for (const auto& counter : SysfsEnergyCounters(root, clock).read().counters)
      found.emplace_back(counter.domain, counter.asleep);
    return found;
  };
  using enum EnergyDomain;
  using Found = std::vector<std::pair<EnergyDomain, bool>>;
  EXPECT_EQ(domains(fixture("amd-apu")),
            (Found{{package, false}, {discreteGraphics, true}, {socGraphics, false}}));
  EXPECT_EQ(
      domains(fixture("intel-arc")),
      (Found{{package, false}, {integratedGraphics, false}, {platform, false}, {discreteGraphics, false}}));
  // Neither voltage: the kind cannot be told. Intel's MMIO view of a package is not a second package.
  testing::FixtureTree tree(fixture("amd-apu"));
  tree.remove("devices/pci0000:00/0000:00:08.1/0000:05:00.0/hwmon/hwmon5/in1_input");
  tree.remove("devices/pci0000:00/0000:00:08.1/0000:05:00.0/hwmon/hwmon5/in0_input");
  tree.write("class/powercap/intel-rapl-mmio:0/name", "package-0");
  tree.write("class/powercap/intel-rapl-mmio:0/energy_uj", "5000000");
  EXPECT_EQ(domains(tree.root()),
            (Found{{package, false}, {discreteGraphics, true}, {undeterminedGraphics, false}}));
}

// A FIFO with a writer that never writes stands for a driver that never answers.
TEST(SysfsSources, OnlyRegularFilesAreReadAndNoneIsWaitedFor) {
  testing::FixtureCopy tree("");
  tree.write("attribute", " 12345\n");
  tree.write("long", std::string(5000, '7'));
  std::filesystem::create_directory(tree.path("directory"));
  ASSERT_EQ(mkfifo(tree.path("fifo").c_str(), 0600), 0);
  const int writer = open(tree.path("fifo").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  auto reads = std::async(std::launch::async, [&] {
    std::vector<std::pair<sysfs::ReadStatus, std::size_t>> seen;
    for (const char* name : {"attribute", "long", "fifo", "directory", "missing"}) {
      const sysfs::TextRead read = sysfs::readText(tree.path(name));
      seen.emplace_back(read.status, read.text.size());
    }
    return seen;
  });
  if (reads.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    ADD_FAILURE() << "a read waits for the FIFO";
  close(writer);  // the end of the FIFO's data: a read waiting for it returns
  using enum sysfs::ReadStatus;
  EXPECT_EQ(reads.get(), (std::vector<std::pair<sysfs::ReadStatus, std::size_t>>{
                             {ok, 5}, {ok, 4096}, {failed, 0}, {failed, 0}, {missing, 0}}));
}

}  // namespace
}  // namespace wattline
