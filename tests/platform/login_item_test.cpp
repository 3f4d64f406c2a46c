#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fixture_copy.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/qt/system_login_item.h"

namespace wattline {
namespace {

using testing::FixtureCopy;

TEST(SystemLoginItem, StatesOfTheAutostartEntry) {
  FixtureCopy home("");
  const std::string program = "/usr/local/bin/wattline";
  SystemLoginItem item(home.path("autostart"), program);
  XdgAutostart entry(home.path("autostart"), "wattline.desktop");
  EXPECT_EQ(item.state(), LoginItemState::notRegistered);
  EXPECT_EQ(item.unregisterItem(), std::nullopt);  // nothing to remove is fine
  ASSERT_EQ(item.registerItem(), std::nullopt);
  EXPECT_EQ(item.state(), LoginItemState::enabled);
  EXPECT_FALSE(std::filesystem::exists(entry.path() + ".tmp"));
  using S = LoginItemState;
  for (const auto& [text, state] : std::vector<std::pair<std::string, S>>{
           {"[Desktop Entry]\nExec=" + program + " --show\n", S::enabled},
           {"[Other]\nHidden=true\n[Desktop Entry]\nExec=\"" + program + "\"\n", S::enabled},
           {"[Desktop Entry]\nExec=/usr/bin/other\n", S::notRegistered},  // another program's entry
           {"[Desktop Entry]\nExec=\"" + program + "\n", S::notRegistered},
           {"[Desktop Entry]\nType=Application\n", S::notRegistered},
           // Desktops switch entries off without removing them.
           {"[Desktop Entry]\nExec=" + program + "\nHidden = true\n", S::notRegistered},
           {"[Desktop Entry]\nExec=" + program + "\nX-GNOME-Autostart-enabled=false\n", S::notRegistered},
       }) {
    home.write("autostart/wattline.desktop", text);
    EXPECT_EQ(item.state(), state) << text;
  }
  ASSERT_EQ(item.unregisterItem(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(entry.path()));
  EXPECT_EQ(SystemLoginItem(home.path("autostart"), "").state(), LoginItemState::notFound);
}

TEST(SystemLoginItem, QuotingRefusalsAndWriteFailures) {
  FixtureCopy home("");
  // A path with every character the Exec key quotes is read back as the same program.
  const std::string odd = "/home/a b/$x \"q\" `c` \\d";
  XdgAutostart entry(home.path("autostart"), "w.desktop");
  EXPECT_NE(autostartEntry(odd).find("\nExec=\"/home/a b/\\\\$x \\\\\"q\\\\\" \\\\`c\\\\` \\\\\\\\d\"\n"),
            std::string::npos);
  ASSERT_EQ(entry.write(odd), std::nullopt);
  EXPECT_TRUE(entry.startsProgram(odd));
  EXPECT_FALSE(entry.startsProgram("/home/a b/$x"));
  // Paths no launcher can start are refused, and nothing is written.
  for (const char* bad : {"/usr/bin/x\n--evil", "/opt/100%/wattline"}) {
    XdgAutostart refused(home.path("refused"), "w.desktop");
    EXPECT_TRUE(refused.write(bad)) << bad;
    EXPECT_FALSE(std::filesystem::exists(refused.path())) << bad;
  }
  auto percent = SystemLoginItem(home.path("autostart"), "/opt/100%/wattline").registerItem();
  ASSERT_TRUE(percent);
  EXPECT_NE(percent->description.find("“%”"), std::string::npos);
  EXPECT_TRUE(XdgAutostart("", "w.desktop").write("/usr/bin/x"));
  EXPECT_TRUE(SystemLoginItem(home.path("autostart"), "").registerItem());
  for (std::string path : {"/tmp/.mount_wattlXYZ/usr/bin/wattline", "/run/media/me/USB/wattline"}) {
    SystemLoginItem refused(home.path("autostart"), path);
    auto error = refused.registerItem();
    ASSERT_TRUE(error) << path;
    EXPECT_EQ(std::make_tuple(error->domain, error->code, error->description),
              std::make_tuple("Wattline.Startup", 1,
                              "瓦迹正从临时目录或可移动磁盘运行（" + path +
                                  "），登录时可能找不到它。请先安装瓦迹，再开启开机自启。"));
  }
  EXPECT_FALSE(refusedLoginItemLocation("/home/me/tmp/wattline"));
  // A write failure (the directory is a file) is a registration error whose reason reaches the user.
  home.write("blocked", "file");
  auto error = SystemLoginItem(home.path("blocked"), "/usr/bin/wattline").registerItem();
  ASSERT_TRUE(error);
  EXPECT_NE(error->description.find(home.path("blocked")), std::string::npos);
}

// The kernel's link to a program whose file was replaced ends in " (deleted)".
TEST(SystemLoginItem, RunningExecutableOfAReplacedProgram) {
  FixtureCopy home("");
  home.write("bin/kept (deleted)", "");
  for (const auto& [target, expected] : std::vector<std::pair<std::string, std::string>>{
           {home.path("bin/wattline (deleted)"), home.path("bin/wattline")},
           {home.path("bin/kept (deleted)"), home.path("bin/kept (deleted)")},  // a file of that name
           {"relative/wattline", ""}}) {
    std::filesystem::remove(home.path("exe"));
    std::filesystem::create_symlink(target, home.path("exe"));
    EXPECT_EQ(XdgAutostart::runningExecutable(home.path("exe")), expected) << target;
  }
  EXPECT_EQ(XdgAutostart::runningExecutable(home.path("missing")), "");
}

}  // namespace
}  // namespace wattline
