// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/linux/sysfs_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "platform/fixture_copy.h"

namespace wattline {
namespace {

using sysfs::ReadStatus;

// A FIFO with a writer that never writes stands for a driver that never answers.
TEST(SysfsFile, OnlyRegularFilesAreReadAndNoneIsWaitedFor) {
  testing::FixtureCopy tree("");
  tree.write("attribute", " 12345\n");
  tree.write("long", std::string(5000, '7'));
  std::filesystem::create_directory(tree.path("directory"));
  ASSERT_EQ(mkfifo(tree.path("fifo").c_str(), 0600), 0);
  const int writer = open(tree.path("fifo").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  auto reads = std::async(std::launch::async, [&] {
    std::vector<std::pair<ReadStatus, std::size_t>> seen;
    for (const char* name : {"attribute", "long", "fifo", "directory", "missing"}) {
      const sysfs::TextRead read = sysfs::readText(tree.path(name));
      seen.emplace_back(read.status, read.text.size());
    }
    return seen;
  });
  if (reads.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    ADD_FAILURE() << "a read waits for the FIFO";
  close(writer);  // the end of the FIFO's data: a read waiting for it returns
  EXPECT_EQ(reads.get(), (std::vector<std::pair<ReadStatus, std::size_t>>{{ReadStatus::ok, 5},
                                                                          {ReadStatus::ok, 4096},
                                                                          {ReadStatus::failed, 0},
                                                                          {ReadStatus::failed, 0},
                                                                          {ReadStatus::missing, 0}}));
}

}  // namespace
}  // namespace wattline
