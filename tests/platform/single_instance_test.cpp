// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "platform/fixture_copy.h"
#include "qt_application.h"

namespace wattline {
namespace {

std::unique_ptr<SingleInstance> instanceWith(std::map<std::string, std::string> variables) {
  return std::make_unique<SingleInstance>(
      "local.wattline.test", [] {},
      [=](std::string_view name) {
        const auto found = variables.find(std::string(name));
        return found == variables.end() ? std::nullopt : std::optional(found->second);
      });
}

// The lock and the socket sit only in a directory of the user's own that nobody else may enter (never in a
// shared temporary directory), and what another user left there neither holds this copy back nor hears it.
TEST(SingleInstance, LockAndSocketLiveOnlyInAPrivateDirectoryOfTheUser) {
  testApplication();
  testing::FixtureCopy home("");
  const std::string runtime = home.path("run"), cache = home.path("cache");
  std::filesystem::create_directories(runtime);
  const std::string inRuntime = runtime + "/wattline";
  const struct {
    std::map<std::string, std::string> variables;
    std::string directory;
  } cases[] = {
      {{{"XDG_RUNTIME_DIR", runtime}, {"XDG_CACHE_HOME", cache}}, inRuntime},
      {{{"XDG_CACHE_HOME", cache}}, cache + "/wattline"},
      {{{"HOME", home.path()}}, home.path(".cache/wattline")},
      {{{"XDG_RUNTIME_DIR", runtime}}, inRuntime},  // after it was opened to others below
  };
  for (const auto& c : cases) {
    const auto instance = instanceWith(c.variables);
    EXPECT_EQ(std::make_pair(instance->lockPath().toStdString(), instance->problem()),
              std::make_pair(c.directory + "/local.wattline.test.lock", std::optional<std::string>()));
    struct stat status {};
    ASSERT_EQ(lstat(c.directory.c_str(), &status), 0);
    EXPECT_EQ(std::make_pair(status.st_mode & 0777, status.st_uid), std::make_pair(0700u, geteuid()));
    std::filesystem::permissions(inRuntime, std::filesystem::perms::all);
  }

  if (geteuid() != 0) GTEST_SKIP() << "files of another user need root";
  constexpr uid_t kNobody = 65534;
  auto instance = instanceWith({{"XDG_RUNTIME_DIR", runtime}});
  const std::string lock = instance->lockPath().toStdString(),
                    socket = inRuntime + "/local.wattline.test.socket";
  std::ofstream(lock) << "1\nwattline\n\n";  // process 1 is alive
  std::ofstream(socket).close();
  for (const std::string& file : {lock, socket}) ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(instance->claim(), SingleInstance::Role::primary);
  EXPECT_EQ(instance->problem(), lock + " belonged to another user and was taken as absent; " + socket +
                                     " belonged to another user and was taken as absent");
  struct stat status {};
  EXPECT_TRUE(lstat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_uid == geteuid());
  // A runtime directory of another user's is passed over for the cache directory.
  instance.reset();
  ASSERT_EQ(chown(inRuntime.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(instanceWith({{"XDG_RUNTIME_DIR", runtime}, {"XDG_CACHE_HOME", cache}})->lockPath().toStdString(),
            cache + "/wattline/local.wattline.test.lock");
}

}  // namespace
}  // namespace wattline
