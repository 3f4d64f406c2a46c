// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/proc_process_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/fixture_copy.h"
#include "platform/linux/desktop_application.h"
#include "platform/linux/energy_counters.h"
#include "platform/linux/rapl_package_energy.h"
#include "platform/testing/manual_scheduler.h"
#include "readers/process_power_reader.h"

namespace wattline {
namespace {

using testing::FixtureCopy;

std::string statLine(int pid, const std::string& comm, std::uint64_t utime, std::uint64_t stime,
                     std::uint64_t start) {
  return std::to_string(pid) + " (" + comm + ") S 1 1 1 0 -1 4194560 1200 0 3 0 " + std::to_string(utime) +
         " " + std::to_string(stime) + " 0 0 20 0 4 0 " + std::to_string(start) + " 123456789 4321 0 0\n";
}

std::uint64_t seed(std::uint64_t ticks) {
  return static_cast<std::uint64_t>(static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) *
                                    1e9);
}

const ProcessUsage& usageOf(const std::vector<ProcessUsage>& usage, std::int32_t pid) {
  auto found = std::find_if(usage.begin(), usage.end(), [&](const ProcessUsage& u) { return u.pid == pid; });
  if (found == usage.end()) throw std::out_of_range("pid " + std::to_string(pid) + " not sampled");
  return *found;
}

std::unique_ptr<EnergyCounterSource> packages(const std::string& sysfsRoot, const Clock& clock) {
  return std::make_unique<SysfsEnergyCounters>(sysfsRoot, clock, true);
}

class ProcTable : public ::testing::Test {
 protected:
  std::shared_ptr<ProcProcessTable> table(DesktopApplications applications = {{}, {}}) {
    return std::make_shared<ProcProcessTable>(fixture.path("proc"), packages(fixture.path("sys"), *clock),
                                              std::move(applications), clock);
  }

  FixtureCopy fixture{"proc-desktop"};
  testing::ManualScheduler scheduler;
  std::shared_ptr<testing::ManualClock> clock =
      std::make_shared<testing::ManualClock>(scheduler, dateFromSeconds(1'780'000'000));
};

TEST_F(ProcTable, ReadsIncarnationsAndSeedsNewOnes) {
  auto processes = table();
  auto first = processes->sample();
  ASSERT_TRUE(first);
  std::vector<std::int32_t> pids;
  for (const auto& usage : *first) pids.push_back(usage.pid);
  // 500 has an unreadable stat line; "self" and "0123" are not pids.
  EXPECT_EQ(pids, (std::vector<std::int32_t>{1, 100, 101, 200, 300, 400, 600, 700, 710, 711}));
  EXPECT_EQ(usageOf(*first, 100).energyNanojoules, seed(5000));

  // 200 ends, 300's pid is reused by a new process, 900 starts with a garbage tick count.
  std::filesystem::remove_all(fixture.path("proc/200"));
  fixture.write("proc/300/stat", statLine(300, "new", 5, 5, 150000));
  fixture.write("proc/900/stat", statLine(900, "huge", 18446744073709551615u, 0, 170000));
  auto second = processes->sample();
  ASSERT_TRUE(second);
  EXPECT_EQ(usageOf(*second, 300).energyNanojoules, seed(10));
  EXPECT_EQ(usageOf(*second, 900).energyNanojoules, 18'000'000'000'000'000'000u);  // bounded
  EXPECT_THROW(usageOf(*second, 200), std::out_of_range);
}

// A process is billed for the energy it used while it ran, never for the package's idle floor: the floor is
// the smaller of the energy's idle share of all CPU time and the package's lowest power of the last ten
// minutes over the interval. Four CPUs; the second package stays idle.
TEST_F(ProcTable, BillsOnlyTheEnergyAboveTheIdleFloor) {
  auto processes = table();
  auto previous = processes->sample().value();
  struct Step {
    double seconds, packageJoules;
    std::uint64_t firefoxTicks, someTicks, busyTicks;  // busy: of the whole system
    double firefoxWatts, someWatts;
  };
  std::uint64_t firefox = 5000, some = 200, busy = 2000, total = 52000, package = 1'000'000'000;
  for (const auto& step : std::vector<Step>{
           {2, 24, 200, 0, 200, 3.0, 0},          // no lower power known: the share of all CPU time
           {2, 6, 0, 1, 1, 0, 0.00375},           // an idle machine at 3 W: 10 ms of a daemon
           {2, 24, 200, 0, 200, 9.0, 0},          // the whole rise from the known 3 W
           {2, 24, 100, 0, 400, 2.25, 0},         // others ran too (and ended): their part goes to no one
           {600, 7200, 60000, 0, 60000, 3.0, 0},  // ten minutes on, the 3 W is forgotten
       }) {
    scheduler.advance(step.seconds);
    firefox += step.firefoxTicks;
    some += step.someTicks;
    busy += step.busyTicks;
    total += static_cast<std::uint64_t>(step.seconds * 400);
    package += static_cast<std::uint64_t>(step.packageJoules * 1e6);
    fixture.write("proc/stat",
                  "cpu  " + std::to_string(busy) + " 0 0 " + std::to_string(total - busy) + " 0 0 0 0 0 0\n");
    fixture.write("proc/100/stat", statLine(100, "firefox-esr", firefox, 0, 90000));
    fixture.write("proc/400/stat", statLine(400, "Some", some, 0, 120000));
    fixture.write("sys/class/powercap/intel-rapl:0/energy_uj", std::to_string(package));
    const auto current = processes->sample().value();
    const auto watts = [&](std::int32_t pid) {
      return static_cast<double>(usageOf(current, pid).energyNanojoules -
                                 usageOf(previous, pid).energyNanojoules) /
             1e9 / step.seconds;
    };
    EXPECT_NEAR(watts(100), step.firefoxWatts, 1e-6) << step.packageJoules;
    EXPECT_NEAR(watts(400), step.someWatts, 1e-6) << step.packageJoules;
    previous = current;
  }
  // Without the system's CPU times the idle floor cannot be told; without a package counter or a process
  // list there is nothing to share.
  const auto sampleOf = [&](const char* proc, const char* sys) {
    return ProcProcessTable(fixture.path(proc), packages(fixture.path(sys), *clock), {{}, {}}, clock)
        .sample();
  };
  EXPECT_FALSE(sampleOf("proc", "nothing") || sampleOf("nothing", "sys"));
  std::filesystem::remove(fixture.path("proc/stat"));
  EXPECT_FALSE(processes->sample());
}

TEST(RaplPackageEnergy, CountsPackagesAcrossWrapAroundOrNotAtAll) {
  FixtureCopy fixture("proc-desktop");
  testing::ManualScheduler scheduler;
  testing::ManualClock clock(scheduler, dateFromSeconds(1'780'000'000));
  std::filesystem::remove(fixture.path("sys/class/powercap/intel-rapl:1/max_energy_range_uj"));
  RaplPackageEnergy energy(packages(fixture.path("sys"), clock));
  const auto consumed = [&] {
    scheduler.advance(2);
    const auto used = energy.consumedSinceLastRead();
    return used ? std::optional(used->nanojoules) : std::nullopt;
  };
  EXPECT_EQ(consumed(), 0u);
  // A counter that went back without a known range: the interval's use is unknown, not zero.
  fixture.write("sys/class/powercap/intel-rapl:1/energy_uj", "5\n");
  EXPECT_EQ(consumed(), std::nullopt);
  fixture.write("sys/class/powercap/intel-rapl:1/energy_uj", "2000000000\n");
  EXPECT_EQ(consumed(), 1'999'999'995'000u);
  // Package 0 wraps at max_energy_range_uj; package 1 goes on, over the counters' own interval.
  fixture.write("sys/class/powercap/intel-rapl:0/energy_uj", "1000\n");
  fixture.write("sys/class/powercap/intel-rapl:1/energy_uj", "2000000500\n");
  EXPECT_EQ(consumed(), (262143328850u - 1000000000u + 1000u + 500u) * 1000u);
  scheduler.advance(3);
  EXPECT_EQ(energy.consumedSinceLastRead()->seconds, 3.0);

  // A package whose counter cannot be read leaves the rest counting; a garbage reading counts as unreadable.
  fixture.write("sys/class/powercap/intel-rapl:1/energy_uj", "-5\n");
  fixture.write("sys/class/powercap/intel-rapl:0/energy_uj", "3000\n");
  EXPECT_EQ(consumed(), 2'000'000u);

  // No package left at all: no energy counter.
  std::filesystem::remove_all(fixture.path("sys/class/powercap"));
  EXPECT_FALSE(consumed());
}

// A desktop application is its own program (found on the PATH, through links) or anything inside its
// Flatpak; what it started, a shell and `make` in a terminal, is grouped by its own executable.
TEST_F(ProcTable, GroupsDesktopApplicationsThroughTheReader) {
  namespace fs = std::filesystem;
  fixture.write("usr/bin/xfce4-terminal", "");
  fs::permissions(fixture.path("usr/bin/xfce4-terminal"), fs::perms::owner_exec, fs::perm_options::add);
  fs::create_directory_symlink("usr/bin", fixture.path("bin"));  // a merged /usr
  fs::remove(fixture.path("proc/700/exe"));
  fs::create_symlink(fs::canonical(fixture.path("usr/bin/xfce4-terminal")), fixture.path("proc/700/exe"));
  ProcessPowerReader reader(table(DesktopApplications({fixture.path("applications")},
                                                      {fixture.path("missing"), fixture.path("bin")})),
                            clock);
  std::map<std::int32_t, std::string> identities;
  for (const auto& counter : reader.read().counters)
    identities[counter.pid] = counter.groupID + " " + counter.name;
  EXPECT_EQ(identities, (std::map<std::int32_t, std::string>{
                            {1, "exec:/usr/lib/systemd/systemd systemd"},
                            {100, "desktop:firefox-esr Firefox 火狐浏览器"},
                            {101, "desktop:firefox-esr Firefox 火狐浏览器"},
                            {200, "exec:/home/user/bin/odd tool a) b (c"},
                            {300, "pid:300:20 kworker/0:1-events"},
                            {400, "app:/opt/Some.app Some"},
                            {600, "desktop:org.example.Garbage org.example.Garbage"},
                            {700, "desktop:xfce4-terminal Xfce 终端"},
                            {710, "exec:/usr/bin/bash bash"},
                            {711, "exec:/usr/bin/make make"},
                        }));
}

TEST(DesktopApplication, UnitsEntriesAndOwnPrograms) {
  auto unit = [](std::string_view cgroup) { return applicationUnitFromCgroup(cgroup); };
  const std::string user = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
  const ApplicationUnit snap{"firefox_firefox", Sandbox::snap, "firefox"};
  EXPECT_EQ(unit(user + "app-firefox-2213.scope"), ApplicationUnit{"firefox"});
  EXPECT_EQ(unit(user + "app-org.gnome.Terminal.service"), ApplicationUnit{"org.gnome.Terminal"});
  EXPECT_EQ(unit("12:memory:/x\n1:name=systemd:/user.slice/app-gnome-gedit-99.scope\n"),
            ApplicationUnit{"gedit"});
  EXPECT_EQ(unit(user + "app-flatpak-org.gimp.GIMP-4242.scope"),
            (ApplicationUnit{"org.gimp.GIMP", Sandbox::flatpak}));
  EXPECT_EQ(unit(user + "snap.firefox.firefox-1b2c.scope"), snap);
  EXPECT_FALSE(unit("0::/system.slice/cron.service"));
  EXPECT_FALSE(unit(user + "app-gnome-a\\x2fb-1.scope"));
  EXPECT_FALSE(unit(user + "app-gnome-\\x2e\\x2e-1.scope"));

  // Plain and Flatpak applications are checked on the fixture.
  for (const auto& [executable, own] : std::vector<std::pair<const char*, bool>>{
           {"/snap/firefox/4173/usr/lib/firefox/firefox", true},
           {"/snap/firefoxy/1/firefox", false},
           {"/usr/bin/bash", false},
       })
    EXPECT_EQ(isApplicationProgram(snap, executable, {"/usr/bin/bash"}), own) << executable;

  const auto program = [](const std::string& exec) {
    return parseDesktopEntry("[Desktop Entry]\nExec=" + exec + "\n").program;
  };
  EXPECT_EQ(program("firefox-esr %u"), "firefox-esr");
  EXPECT_EQ(program("\"/opt/My \\\"App\\\"/app\" --x"), "/opt/My \"App\"/app");
  EXPECT_EQ(program("env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/firefox %u"), "/snap/bin/firefox");
  EXPECT_EQ(program("\"/opt/unterminated"), std::nullopt);

  static constexpr char kWithNul[] = "[Desktop Entry]\nName=a\0b\n";
  FixtureCopy fixture("proc-desktop");
  // The first directory holding the entry decides, even when its entry names nothing.
  fixture.write("local/xfce4-terminal.desktop", "[Desktop Entry]\nExec=x\n");
  DesktopApplications applications(
      {fixture.path("missing"), fixture.path("local"), fixture.path("applications")}, {});
  EXPECT_EQ(applications.name("absent"), std::nullopt);
  EXPECT_EQ(applications.name("xfce4-terminal"), std::nullopt);
  // A FIFO named like an entry is passed over at once, for the next directory's entry.
  ASSERT_EQ(mkfifo(fixture.path("local/stalled.desktop").c_str(), 0600), 0);
  fixture.write("applications/stalled.desktop", "[Desktop Entry]\nName=Stalled\n");
  EXPECT_EQ(applications.name("stalled"), "Stalled");
  EXPECT_EQ(parseDesktopEntry("Name=Outside\n[Desktop Action x]\nName=Action\n").name, std::nullopt);
  EXPECT_EQ(parseDesktopEntry("[Desktop Entry]\nName[zh_CN]=\xe6\x96\n Name=Plain").name, "Plain");
  EXPECT_EQ(parseDesktopEntry(std::string(kWithNul, sizeof kWithNul - 1)).name, std::nullopt);
  EXPECT_FALSE(isValidUTF8("\xc0\xaf"));  // overlong "/"
}

}  // namespace
}  // namespace wattline
