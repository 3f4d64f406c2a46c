// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tool_modes.h"

#include "app/command_line.h"
#include "base/json_coding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "platform/fixture_copy.h"
#include "platform/testing/fixture_tree.h"
#include "platform/testing/moving_counters.h"
#include "platform/testing/private_system_bus.h"

namespace wattline {
namespace {

using testing::FixtureCopy;

struct ProgramRun {
  int status = -1;
  std::string out;
};

// Runs the program with `environment` (shell assignments) and `arguments`; standard error is discarded.
ProgramRun runProgram(const std::string& environment, const std::string& arguments) {
  std::string command = "env " + environment + " '" WATTLINE_BINARY "' " + arguments + " 2>/dev/null";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  while (std::size_t got = fread(buffer.data(), 1, buffer.size(), pipe)) run.out.append(buffer.data(), got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

nlohmann::json runJson(const std::string& environment, const std::string& arguments) {
  ProgramRun run = runProgram(environment, arguments);
  EXPECT_EQ(run.status, 0) << arguments;
  return nlohmann::json::parse(run.out, nullptr, false);
}

TEST(ToolModes, StartupStatusFromTheProgram) {
  FixtureCopy home("");
  home.write("config/Wattline/Wattline.conf", "[General]\nshowPanelOnLaunch=true\n");
  home.write("config/autostart/wattline.desktop",
             "[Desktop Entry]\nExec=\"" + std::filesystem::canonical(WATTLINE_BINARY).string() + "\"\n");
  // The first tool mode in the fixed order wins, wherever it stands; Qt's own options are let through.
  auto json = runJson("HOME='" + home.path() + "' XDG_CONFIG_HOME='" + home.path("config") + "'",
                      "--snapshot -session 1_2 --startup-status -platform offscreen --process-power");
  EXPECT_TRUE(json["version"].is_string());
  json.erase("version");
  EXPECT_EQ(json, (nlohmann::json{{"status", "enabled"}, {"showPanelOnLaunch", true}}));
}

TEST(ToolModes, ProcessPowerAndSnapshotOnFixtures) {
  std::string fixture = std::string(WATTLINE_FIXTURES) + "/proc-desktop";
  std::string roots = "WATTLINE_PROC_ROOT='" + fixture + "/proc' WATTLINE_SYSFS_ROOT='" + fixture;
  ProgramRun run = runProgram(roots + "/nothing'", "--process-power");
  EXPECT_EQ(std::make_tuple(run.status, run.out),
            std::make_tuple(0, std::string("{\n  \"phase\": \"unavailable\",\n  \"rows\": []\n}\n")));
  // A fixture's counters stand still: a ranking with nobody in it.
  auto snapshot = ProcessPowerSnapshot::fromJSON(runJson(roots + "/sys'", "--process-power"));
  ASSERT_TRUE(snapshot);
  EXPECT_TRUE(snapshot->phase == ProcessPowerSnapshot::Phase::ready && snapshot->rows.empty() &&
              snapshot->updatedAt);

  const std::string fixtures = std::string(WATTLINE_FIXTURES) + "/sysfs/";
  PowerSnapshot laptop =
      snapshotFromJson(runJson("WATTLINE_SYSFS_ROOT='" + fixtures + "laptop-battery'", "--snapshot"));
  // "Discharging" gives the current its sign.
  EXPECT_EQ(std::make_tuple(laptop.available, laptop.externalConnected, laptop.batteryAmps,
                            laptop.batteryWatts, laptop.percent, laptop.batterySource),
            std::make_tuple(true, false, -1.5, -18.0, 80.0, PowerDataSource::sensor));
  EXPECT_TRUE(laptop.componentSampleDuration);  // the second read has an energy interval behind it
  // No supply at all: the reader's first error text, and absent values rather than zeros, each with why.
  const auto json = runJson("WATTLINE_SYSFS_ROOT='" + fixtures + "desktop'", "--snapshot");
  EXPECT_FALSE(json.contains("externalConnected") || json.contains("inputWatts") ||
               json.contains("inputAmps"));
  EXPECT_EQ(json["unavailable"]["inputWatts"],
            "needs: externalConnected (no such device: " + fixtures + "desktop/class/power_supply)");
  PowerSnapshot desktop = snapshotFromJson(json);
  EXPECT_EQ(desktop.error,
            "系统未提供电池数据（/sys/class/power_supply）。台式机或访问受限时，部分数据不可用。");
  EXPECT_FALSE(desktop.available || desktop.batteryWatts || desktop.cpuWatts);  // nor can its RAPL counters
}

// Counters only root may read, read by another user through the energy service, on the adapter: the
// processor's and the whole system's power, and the apps' ranking.
TEST(ToolModes, ClosedCountersThroughTheEnergyService) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  testing::FixtureTree tree(std::string(WATTLINE_FIXTURES) + "/sysfs/intel-arc");
  FixtureCopy proc("proc-desktop");
  ASSERT_EQ(::chmod(proc.path().c_str(), 0755), 0);
  testing::MovingCounters moving(tree.root(), {{"intel-rapl:0", 8.0}, {"intel-rapl:1", 20.0}});
  for (const char* zone : {"intel-rapl:0", "intel-rapl:0:0", "intel-rapl:1"})
    ASSERT_EQ(::chmod(proc.path("sys/class/powercap/" + std::string(zone) + "/energy_uj").c_str(), 0400), 0);
  const auto asNobody = [&](const testing::PrivateSystemBus& bus, const std::string& root) {
    return "WATTLINE_SYSFS_ROOT='" + root + "' WATTLINE_PROC_ROOT='" + proc.path("proc") +
           "' DBUS_SYSTEM_BUS_ADDRESS='" + bus.address() +
           "' setpriv --reuid=nobody --regid=nogroup --clear-groups";
  };
  testing::PrivateSystemBus bus(tree.root());
  const auto json = runJson(asNobody(bus, tree.root()), "--snapshot");
  // The fake counters move in steps of 20 ms that a loaded machine may delay.
  EXPECT_NEAR(json.value("cpuWatts", 0.0), 8.0, 2.0) << json["unavailable"];
  EXPECT_NEAR(json.value("systemWatts", 0.0), 20.0, 5.0) << json["unavailable"];

  testing::PrivateSystemBus processBus(proc.path("sys"));
  EXPECT_EQ(runJson(asNobody(processBus, proc.path("sys")), "--process-power")["phase"], "ready");
}

TEST(CommandLine, WholeArgumentsAnywhereAndTheFirstValueCounts) {
  using O = CommandLineOptions;
  auto with = [](auto set) {
    O options;
    set(options);
    return options;
  };
  const std::vector<std::pair<std::vector<std::string>, O>> cases = {
      {{"--snapshot"}, with([](O& o) { o.snapshot = true; })},  // index 0 counts too
      {{"w", "--history-directory", "/a", "--history-directory", "/b"},
       with([](O& o) { o.historyDirectory = "/a"; })},
      {{"w", "--show", "--render-preview"}, with([](O& o) { o.show = true; })},  // last: no value
      {{"w", "--snap", "--show=1", "-session", "1_2", "-platform", "offscreen", "--"}, with([](O& o) {
         o.unknown = {"--snap", "--show=1", "--"};
       })},  // Qt's own single-dash options pass
      // A value may look like an option; it still counts as one where it stands.
      {{"w", "--window-trace", "--t", "--ui-probe", "--history-window"},
       with([](O& o) { o.windowTrace = "--t", o.uiProbe = "--history-window", o.historyWindow = true; })},
  };
  for (const auto& [arguments, expected] : cases) EXPECT_TRUE(parseCommandLine(arguments) == expected);
}

TEST(CommandLine, TheProgramRefusesUnknownOptionsListsTheKnownOnesAndNeedsADisplayForTheTray) {
  ProgramRun run = runProgram("", "--bogus --startup-status");
  EXPECT_EQ(std::make_tuple(run.status, run.out), std::make_tuple(2, std::string()));
  run = runProgram("", "--help");
  EXPECT_EQ(run.status, 0);
  for (const auto& option : knownOptions())
    EXPECT_NE(run.out.find("  " + std::string(option.name)), std::string::npos) << option.name;
  EXPECT_EQ(run.out.find("not available"), std::string::npos);
  // The tray application without any display ends at once, rather than in Qt's abort.
  EXPECT_EQ(runProgram("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "").status, 1);
}

}  // namespace
}  // namespace wattline
