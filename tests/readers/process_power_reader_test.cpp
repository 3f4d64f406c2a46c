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
      {-3, 1, 5, "/sbin/bad", "bad", std::nullopt},
  };
  table->bundleNames["/Applications/Named.app"] = std::string(150, 'n');
  table->applicationNames["firefox"] = "Firefox 火狐浏览器";
  clock->shiftUptime(50);

  auto batch = reader.read();
  EXPECT_TRUE(batch.available);
  EXPECT_DOUBLE_EQ(batch.uptime, 1050.0);
  ASSERT_EQ(batch.counters.size(), 9u);  // pids below 1 are skipped
  EXPECT_EQ(batch.counters[0].groupID, "app:/Applications/Some.app");
  EXPECT_EQ(batch.counters[0].name, "Some");
  // The bundle rule comes before the desktop application.
  EXPECT_EQ(batch.counters[1].groupID, "app:/Applications/Some.app");
  EXPECT_EQ(batch.counters[2].name, std::string(100, 'n'));
  EXPECT_EQ(batch.counters[3].groupID, "desktop:firefox");
  EXPECT_EQ(batch.counters[3].name, "Firefox 火狐浏览器");
  EXPECT_EQ(batch.counters[4].name, "org.example.Nameless");
  EXPECT_EQ(batch.counters[5].groupID, "exec:/usr/bin/python3.11");
  EXPECT_EQ(batch.counters[5].name, "script.py");
  EXPECT_EQ(batch.counters[6].name, "python3.11");
  EXPECT_EQ(batch.counters[7].groupID, "pid:40:8");
  EXPECT_EQ(batch.counters[7].name, "kworker/0:1");
  EXPECT_EQ(batch.counters[8].groupID, "pid:41:9");
  EXPECT_EQ(batch.counters[8].name, "进程 41");
  EXPECT_EQ(batch.counters[8].sampledUptime, 1050.0);
  EXPECT_EQ(table->bundleLookups, 2);  // one per bundle path

  EXPECT_EQ(firstCharacters("瓦迹功耗", 2), "瓦迹");  // whole UTF-8 characters
  EXPECT_EQ(firstCharacters("ab", 5), "ab");
  EXPECT_EQ(firstCharacters(std::string("a\xff") + "b", 2), "a\xff");
}

TEST_F(ProcessPowerReaderTest, CachesIdentitiesPerIncarnationAndPrunesDeadPids) {
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 5, "/usr/bin/a", "a", std::nullopt},
                                                            {11, 1, 5, "/usr/bin/b", "b", std::nullopt}};
  reader.read();
  EXPECT_EQ(table->pathLookups, 2);
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
}

TEST_F(ProcessPowerReaderTest, UnavailableWithoutEnergy) {
  table->processes = std::nullopt;
  clock->shiftUptime(7);
  auto batch = reader.read();
  EXPECT_FALSE(batch.available);
  EXPECT_TRUE(batch.counters.empty());
  EXPECT_DOUBLE_EQ(batch.uptime, 1007.0);
  EXPECT_EQ(batch.timestamp, clock->now());

  // Every counter at zero: listed, but not available.
  table->processes = std::vector<FakeProcessTable::Process>{{10, 1, 0, "/usr/bin/a", "a", std::nullopt}};
  batch = reader.read();
  EXPECT_FALSE(batch.available);
  EXPECT_EQ(batch.counters.size(), 1u);
}

}  // namespace
}  // namespace wattline
