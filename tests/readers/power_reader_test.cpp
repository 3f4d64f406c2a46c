// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/power_reader.h"

#include <gtest/gtest.h>

#include "platform/linux/linux_power_services.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/manual_scheduler.h"

namespace wattline {
namespace {

using Kind = UnavailableReason::Kind;
const Date kStart = dateFromSeconds(1'800'000'000);

std::string fixture(const std::string& name) {
  return std::string(WATTLINE_FIXTURES) + "/sysfs/" + name;
}

std::optional<Kind> why(const PowerSnapshot& s, const std::string& field) {
  const auto it = s.unavailable.find(field);
  return it == s.unavailable.end() ? std::nullopt : std::optional(it->second.kind);
}

TEST(PowerReaderOnFixtures, LaptopOnBatteryEndToEnd) {
  testing::ManualScheduler scheduler;
  testing::FixtureTree tree(fixture("laptop-battery"));
  LivePowerReader reader(
      linuxPowerServices(tree.root(), std::make_unique<testing::ManualClock>(scheduler, kStart)));
  // The program's --snapshot check covers this machine's battery state and percentage.
  // System power from the battery until the platform counter has an interval.
  auto snapshot = reader.read(true);
  EXPECT_EQ(std::tie(snapshot.batteryVolts, snapshot.batteryWatts, snapshot.inputWatts, snapshot.systemWatts,
                     snapshot.systemEstimated, snapshot.fanSpeeds),
            std::make_tuple(12.0, -18.0, 0.0, 18.0, true, std::vector<FanSpeed>{{0, 2400}, {1, 0}}));
  EXPECT_EQ(std::make_tuple(why(snapshot, "cpuWatts"), why(snapshot, "displayWatts")),
            std::make_tuple(Kind::firstSample, Kind::noDevice));

  scheduler.advance(1.0);
  tree.write("class/powercap/intel-rapl:1/energy_uj", "9021000000");
  tree.write("class/powercap/intel-rapl:0/energy_uj", "5012000000");
  tree.write("class/power_supply/BAT0/current_now", "1750000");
  snapshot = reader.read(false);
  EXPECT_NEAR(*snapshot.systemWatts, 21.0, 1e-5);
  EXPECT_EQ(std::tie(snapshot.systemEstimated, snapshot.batteryWatts), std::make_tuple(false, -21.0));
  EXPECT_NEAR(*snapshot.cpuWatts, 12.0, 1e-9);

  // A fan that vanishes is looked for again at the next read with details.
  tree.remove("class/hwmon/hwmon2");
  scheduler.advance(1.0);
  EXPECT_TRUE(reader.read(true).fanSpeeds.empty());
  EXPECT_EQ(reader.read(true).fanSpeeds, (std::vector<FanSpeed>{{0, 3100}}));
}

TEST(PowerReaderOnFixtures, OtherMachines) {
  testing::ManualScheduler scheduler;
  const auto read = [&](const std::string& name) {
    return LivePowerReader(
               linuxPowerServices(fixture(name), std::make_unique<testing::ManualClock>(scheduler, kStart)))
        .read(true);
  };
  // No supply (its message is checked through the program), and RAPL counters only root may read: what is
  // not known is absent with its reason, not zero.
  auto snapshot = read("desktop");
  EXPECT_EQ(std::tie(snapshot.inputWatts, snapshot.inputAmps, snapshot.systemWatts, snapshot.cpuWatts),
            std::make_tuple(std::nullopt, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(std::make_tuple(snapshot.externalKnown(), why(snapshot, "cpuWatts"), why(snapshot, "inputWatts"),
                            why(snapshot, "systemWatts")),
            std::make_tuple(false, Kind::unreadable, Kind::needs, Kind::needs));
  // The contract current of a USB-C source is no measured input.
  snapshot = read("usb-c-pd");
  EXPECT_EQ(std::tie(snapshot.externalConnected, snapshot.adapterRatedWatts, snapshot.inputWatts,
                     snapshot.inputAmps, snapshot.systemWatts),
            std::make_tuple(true, 65.0, std::nullopt, std::nullopt, std::nullopt));
  // The supply measures its current too.
  snapshot = read("measured-mains");
  EXPECT_EQ(std::tie(snapshot.adapterRatedWatts, snapshot.inputWatts, snapshot.inputAmps,
                     snapshot.inputAmpsEstimated),
            std::make_tuple(90.0, 31.5, 1.59, false));

  // Each battery's own current times its own voltage; the charge counted at the battery's voltage.
  snapshot = read("two-batteries-mixed");
  EXPECT_NEAR(snapshot.batteryWatts.value_or(-1), 0.44, 1e-6);
  EXPECT_NEAR(snapshot.percent.value_or(-1), 69.7 / 102.8 * 100, 1e-6);

  snapshot = read("bad-values");
  EXPECT_EQ(std::tie(snapshot.available, snapshot.percent, snapshot.batteryWatts, snapshot.systemWatts),
            std::make_tuple(true, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(std::make_tuple(why(snapshot, "externalConnected"), why(snapshot, "batteryVolts")),
            std::make_tuple(Kind::malformed, Kind::malformed));
}

}  // namespace
}  // namespace wattline
