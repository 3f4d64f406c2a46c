#include "readers/process_power_reader.h"

#include <gtest/gtest.h>

#include "platform/testing/fake_process_table.h"
#include "platform/testing/manual_scheduler.h"

namespace wattline {
namespace {

using testing::FakeProcessTable;

class ProcessPowerReaderTest : public ::testing::Test {
 protected:
  testing::ManualScheduler scheduler;
  std::shared_ptr<testing::ManualClock> clock =
      std::make_shared<testing::ManualClock>(scheduler, dateFromSeconds(1'780'000'000));
  std::shared_ptr<FakeProcessTable> table = std::make_shared<FakeProcessTable>();
  ProcessPowerReader reader{table, clock};
};

TEST_F(ProcessPowerReaderTest, IdentifiesGroupsAndNames) {
  table->processes = std::vector<FakeProcessTable::Process>{
      {10, 1, 5, "/Applications/Some.app/Contents/MacOS/Some", "Some", std::nullopt},
      {11, 2, 5, "/Applications/Some.app/Contents/Helpers/Helper", "Helper", "org.example.Some"},
      {12, 3, 5, "/Applications/Named.app/Contents/MacOS/x", "x", std::nullopt},
      {20, 4, 5, "/usr/lib/firefox/firefox", "firefox", "firefox"},
      {21, 5, 5, "/usr/bin/thing", "", "org.example.Nameless"},
      {30, 6, 5, "/usr/bin/python3.11", "script.py", std::nullopt},
      {31, 7, 5, "/usr/bin/python3.11", "", std::nullopt},
      {40, 8, 0, "", "kworker/0:1", std::nullopt},
      {41, 9, 0, "", "", std::nullopt},
      {0, 1, 5, "/sbin/idle", "idle", std::nullopt},
  };
  table->bundleNames["/Applications/Named.app"] = std::string(150, 'n');
  table->applicationNames["firefox"] = "Firefox 火狐浏览器";
  clock->shiftUptime(50);

  // Desktop, executable and pid groups over a real process table are checked on the proc fixture.
  auto batch = reader.read();
  EXPECT_DOUBLE_EQ(batch.uptime, 1050.0);
  ASSERT_EQ(batch.counters.size(), 9u);  // pids below 1 are skipped
  std::vector<std::string> identities;
  for (const auto& counter : batch.counters) identities.push_back(counter.groupID + " " + counter.name);
  EXPECT_EQ(identities,
            (std::vector<std::string>{
                "app:/Applications/Some.app Some",
                "app:/Applications/Some.app Some",  // the bundle rule comes first
                "app:/Applications/Named.app " + std::string(100, 'n'), "desktop:firefox Firefox 火狐浏览器",
                "desktop:org.example.Nameless org.example.Nameless", "exec:/usr/bin/python3.11 script.py",
                "exec:/usr/bin/python3.11 python3.11", "pid:40:8 kworker/0:1", "pid:41:9 进程 41"}));
  EXPECT_EQ(table->bundleLookups, 2);                 // one per bundle path
  EXPECT_EQ(firstCharacters("瓦迹功耗", 2), "瓦迹");  // whole UTF-8 characters
}

TEST_F(ProcessPowerReaderTest, CachesIdentitiesPerIncarnationAndNeedsEnergy) {
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 5, "/usr/bin/a", "a", std::nullopt},
                                                            {11, 1, 5, "/usr/bin/b", "b", std::nullopt}};
  reader.read();
  reader.read();
  EXPECT_EQ(table->pathLookups, 2);

  // pid 10 reused by another program: looked up again, and grouped anew.
  table->process(10) = {10, 2, 5, "/usr/bin/c", "c", std::nullopt};
  EXPECT_EQ(reader.read().counters.at(0).groupID, "exec:/usr/bin/c");
  EXPECT_EQ(table->pathLookups, 3);

  // pid 11 vanishes and comes back with the same start: its entry was pruned, so it is looked up again.
  auto processes = *table->processes;
  table->processes->pop_back();
  reader.read();
  table->processes = processes;
  reader.read();
  EXPECT_EQ(table->pathLookups, 4);

  // Every counter at zero: listed, but not available.
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 0, "/usr/bin/a", "a", std::nullopt}};
  auto batch = reader.read();
  EXPECT_FALSE(batch.available);
  EXPECT_EQ(batch.counters.size(), 1u);
}

}  // namespace
}  // namespace wattline
