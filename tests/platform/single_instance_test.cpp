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

constexpr uid_t kNobody = 65534;

struct Place {
  QString lockPath;
  std::optional<std::string> problem;
};

Place placeOf(const std::map<std::string, std::string>& variables) {
  SingleInstance instance(
      "local.wattline.test", [] {},
      [&](std::string_view name) {
        const auto found = variables.find(std::string(name));
        return found == variables.end() ? std::nullopt : std::optional(found->second);
      });
  return {instance.lockPath(), instance.problem()};
}

// The lock and the socket sit where nobody else can make, hold or answer them: never in a shared temporary
// directory, only in a directory of the user's own with mode 0700.
TEST(SingleInstance, LockLivesOnlyInAPrivateDirectoryOfTheUser) {
  testApplication();
  testing::FixtureCopy home("");
  const std::string runtime = home.path("run"), cache = home.path("cache");
  std::filesystem::create_directories(runtime);
  const std::string inRuntime = runtime + "/wattline", inCache = cache + "/wattline";
  const struct {
    const char* name;
    std::map<std::string, std::string> variables;
    std::function<void()> before;
    std::string directory;
  } cases[] = {
      {"runtime directory", {{"XDG_RUNTIME_DIR", runtime}, {"XDG_CACHE_HOME", cache}}, nullptr, inRuntime},
      {"without one", {{"XDG_CACHE_HOME", cache}}, nullptr, inCache},
      {"only a home", {{"HOME", home.path()}}, nullptr, home.path(".cache/wattline")},
      {"ours but open to others",
       {{"XDG_RUNTIME_DIR", runtime}},
       [&] { std::filesystem::permissions(inRuntime, std::filesystem::perms::all); },
       inRuntime},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.before) c.before();
    const Place place = placeOf(c.variables);
    EXPECT_EQ(place.lockPath.toStdString(), c.directory + "/local.wattline.test.lock");
    EXPECT_EQ(place.problem, std::nullopt);
    struct stat status {};
    ASSERT_EQ(lstat(c.directory.c_str(), &status), 0);
    EXPECT_EQ(std::make_pair(status.st_mode & 0777, status.st_uid), std::make_pair(0700u, geteuid()));
  }
  if (geteuid() != 0) GTEST_SKIP() << "handing a directory to another user needs root";
  ASSERT_EQ(chown(inRuntime.c_str(), kNobody, kNobody), 0);
  const Place elsewhere = placeOf({{"XDG_RUNTIME_DIR", runtime}, {"XDG_CACHE_HOME", cache}});
  EXPECT_EQ(elsewhere.lockPath.toStdString(), inCache + "/local.wattline.test.lock");
  EXPECT_EQ(elsewhere.problem, std::nullopt);
}

// Only someone with more rights than the user's could leave a lock or a socket in that directory; they
// neither keep this copy from running nor receive its requests.
TEST(SingleInstance, ALockOrSocketOfAnotherUserIsTakenAsAbsent) {
  testApplication();
  if (geteuid() != 0) GTEST_SKIP() << "files of another user need root";
  testing::FixtureCopy home("");
  SingleInstance instance(
      "local.wattline.test", [] {},
      [&](std::string_view name) {
        return name == "XDG_RUNTIME_DIR" ? std::optional(home.path()) : std::nullopt;
      });
  const std::string lock = instance.lockPath().toStdString(),
                    socket = lock.substr(0, lock.size() - 5) + ".socket";
  // The lock names process 1, which is alive.
  std::ofstream(lock) << "1\nwattline\n\n";
  std::ofstream(socket) << "";
  for (const std::string& file : {lock, socket}) ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(instance.claim(), SingleInstance::Role::primary);
  EXPECT_EQ(instance.problem(), lock + " belonged to another user and was taken as absent; " + socket +
                                    " belonged to another user and was taken as absent");
  struct stat status {};
  ASSERT_EQ(lstat(socket.c_str(), &status), 0);
  EXPECT_TRUE(S_ISSOCK(status.st_mode) && status.st_uid == geteuid());
}

}  // namespace
}  // namespace wattline
