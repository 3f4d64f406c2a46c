#include "app/tool_modes.h"

#include "app/command_line.h"
#include "power/json_coding.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "platform/fixture_copy.h"
#include "platform/testing/fake_process_table.h"
#include "platform/testing/manual_scheduler.h"
#include "platform/testing/memory_defaults.h"

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

class FixedLoginItem : public LoginItemManaging {
 public:
  LoginItemState state() const override { return LoginItemState::requiresApproval; }
  std::optional<LoginItemError> registerItem() override { return std::nullopt; }
  std::optional<LoginItemError> unregisterItem() override { return std::nullopt; }
  void openSettings() override {}
};

TEST(ToolModes, StartupStatusText) {
  testing::MemoryDefaults defaults;
  FixedLoginItem item;
  EXPECT_EQ(
      prettyJson(startupStatus("1.0", item, defaults)),
      "{\n  \"showPanelOnLaunch\": false,\n  \"status\": \"requiresApproval\",\n  \"version\": \"1.0\"\n}");
  defaults.setBool("showPanelOnLaunch", true);
  EXPECT_EQ(startupStatus("1.0", item, defaults)["showPanelOnLaunch"], true);
}

TEST(ToolModes, ProcessPowerRanksTheIntervalBetweenTwoBatches) {
  testing::ManualScheduler scheduler;
  auto table = std::make_shared<testing::FakeProcessTable>();
  table->processes =
      std::vector<testing::FakeProcessTable::Process>{{10, 1, 1'000, "/usr/bin/a", "a", std::nullopt}};
  ProcessPowerReader reader(table, std::make_shared<testing::ManualClock>(scheduler, dateFromSeconds(1.8e9)));
  auto snapshot = measureProcessPower(reader, 2.0, [&](double seconds) {
    scheduler.advance(seconds);
    table->process(10).energyNanojoules += 3'000'000'000;
  });
  EXPECT_EQ(snapshot.phase, ProcessPowerSnapshot::Phase::ready);
  ASSERT_EQ(snapshot.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(snapshot.rows[0].watts, 1.5);
  EXPECT_EQ(snapshot.updatedAt, dateFromSeconds(1.8e9 + 2.0));
}

TEST(ToolModes, StartupStatusFromTheProgram) {
  FixtureCopy home("");
  std::string environment = "HOME='" + home.path() + "' XDG_CONFIG_HOME='" + home.path("config") + "'";
  ProgramRun run = runProgram(environment, "--startup-status");
  EXPECT_EQ(run.status, 0);
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["status"], "notRegistered");
  EXPECT_EQ(json["showPanelOnLaunch"], false);
  EXPECT_TRUE(json["version"].is_string());
  EXPECT_EQ(json.size(), 3u);

  home.write("config/Wattline/Wattline.conf", "[General]\nshowPanelOnLaunch=true\n");
  home.write("config/autostart/wattline.desktop", "[Desktop Entry]\nExec=x\n");
  // The first tool mode in the fixed order wins, wherever it stands.
  run = runProgram(environment, "--snapshot --startup-status --process-power");
  EXPECT_EQ(run.status, 0);
  json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["status"], "enabled");
  EXPECT_EQ(json["showPanelOnLaunch"], true);
}

TEST(ToolModes, ProcessPowerFromTheProgram) {
  std::string fixture = std::string(WATTLINE_FIXTURES) + "/proc-desktop";
  ProgramRun run =
      runProgram("WATTLINE_PROC_ROOT='" + fixture + "/proc' WATTLINE_SYSFS_ROOT='" + fixture + "/nothing'",
                 "--process-power");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "{\n  \"phase\": \"unavailable\",\n  \"rows\": []\n}\n");

  // A fixture's counters stand still: a ranking with nobody in it.
  run = runProgram("WATTLINE_PROC_ROOT='" + fixture + "/proc' WATTLINE_SYSFS_ROOT='" + fixture + "/sys'",
                   "--process-power");
  EXPECT_EQ(run.status, 0);
  auto snapshot = ProcessPowerSnapshot::fromJSON(nlohmann::json::parse(run.out));
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->phase, ProcessPowerSnapshot::Phase::ready);
  EXPECT_TRUE(snapshot->rows.empty());
  EXPECT_TRUE(snapshot->updatedAt);
}

TEST(ToolModes, SnapshotPrintsTheSecondOfTwoReads) {
  int reads = 0;
  std::vector<double> sleeps;
  PowerSnapshot second = measureSnapshot(
      [&](bool details) {
        EXPECT_TRUE(details);
        PowerSnapshot s;
        s.systemWatts = ++reads;
        return s;
      },
      1.0, [&](double seconds) { sleeps.push_back(seconds); });
  EXPECT_EQ(second.systemWatts, 2.0);
  EXPECT_EQ(sleeps, std::vector<double>{1.0});

  std::string fixtures = std::string(WATTLINE_FIXTURES) + "/sysfs/";
  ProgramRun run = runProgram("WATTLINE_SYSFS_ROOT='" + fixtures + "laptop-battery'", "--snapshot");
  EXPECT_EQ(run.status, 0);
  PowerSnapshot laptop = snapshotFromJson(nlohmann::json::parse(run.out));
  EXPECT_TRUE(laptop.available);
  EXPECT_FALSE(laptop.externalConnected);
  EXPECT_EQ(laptop.batteryAmps, -1.5);  // "Discharging" gives the current its sign
  EXPECT_EQ(laptop.batteryWatts, -18.0);
  EXPECT_EQ(laptop.percent, 80.0);
  EXPECT_EQ(laptop.batterySource, PowerDataSource::sensor);
  EXPECT_TRUE(laptop.componentSampleDuration);  // the second read has an energy interval behind it

  // No supply at all: the reader's first error text, and absent values rather than zeros.
  run = runProgram("WATTLINE_SYSFS_ROOT='" + fixtures + "desktop'", "--snapshot");
  EXPECT_EQ(run.status, 0);
  PowerSnapshot desktop = snapshotFromJson(nlohmann::json::parse(run.out));
  EXPECT_FALSE(desktop.available);
  EXPECT_EQ(desktop.error, "系统未提供 AppleSmartBattery 数据。台式 Mac 或访问受限时，部分数据不可用。");
  EXPECT_FALSE(desktop.batteryWatts);
  EXPECT_FALSE(desktop.cpuWatts);  // its RAPL counters cannot be read
}

TEST(ToolModes, OptionsAreWholeArgumentsAndTheFirstOccurrenceCounts) {
  CommandLine line(
      {"--snapshot", "--history-directory", "/a", "--history-directory", "/b", "--render-preview"});
  EXPECT_TRUE(line.has("--snapshot"));  // index 0 counts too
  EXPECT_FALSE(line.has("--snap"));
  EXPECT_EQ(line.value("--history-directory"), "/a");
  EXPECT_EQ(line.value("--render-preview"), std::nullopt);  // last argument: no value
  // The second "--history-directory" is a known option; its "/b" is not a value of the first.
  EXPECT_EQ(line.unknown(), (std::vector<std::string>{"/b"}));
  EXPECT_TRUE(CommandLine({"wattline", "--ui-probe", "--show"}).unknown().empty());
}

TEST(ToolModes, OptionsTheProgramRefuses) {
  ProgramRun run = runProgram("", "--bogus --startup-status");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  run = runProgram("", "startup-status");
  EXPECT_EQ(run.status, 2);

  EXPECT_EQ(runProgram("", "--version").status, 0);
  run = runProgram("", "--help");
  EXPECT_EQ(run.status, 0);
  for (const auto& option : knownOptions())
    EXPECT_NE(run.out.find(option.name), std::string::npos) << option.name;
  auto line = [&](const std::string& option) {
    auto at = run.out.find("  " + option);
    return at == std::string::npos ? std::string() : run.out.substr(at, run.out.find('\n', at) - at);
  };
  EXPECT_EQ(line("--startup-status").find("not available"), std::string::npos);
  EXPECT_EQ(line("--process-power").find("not available"), std::string::npos);
  EXPECT_EQ(line("--snapshot").find("not available"), std::string::npos);
  EXPECT_NE(line("--render-preview").find("not available"), std::string::npos);
}

}  // namespace
}  // namespace wattline
