#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/system_login_item.h"
#include "platform/fixture_copy.h"
#include "platform/linux/xdg_autostart.h"

namespace wattline {
namespace {

using testing::FixtureCopy;

std::string contents(const std::string& path) {
  return (std::stringstream() << std::ifstream(path).rdbuf()).str();
}

TEST(SystemLoginItem, StatesOfTheAutostartEntry) {
  FixtureCopy home("");
  SystemLoginItem item(home.path("autostart"), "/usr/local/bin/wattline");
  XdgAutostart entry(home.path("autostart"), "wattline.desktop");
  EXPECT_EQ(item.state(), LoginItemState::notRegistered);
  EXPECT_EQ(item.unregisterItem(), std::nullopt);  // nothing to remove is fine
  ASSERT_EQ(item.registerItem(), std::nullopt);
  EXPECT_EQ(item.state(), LoginItemState::enabled);
  const std::string text = contents(entry.path());
  for (const char* line :
       {"[Desktop Entry]\n", "\nExec=\"/usr/local/bin/wattline\"\n", "\nType=Application\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_FALSE(std::filesystem::exists(entry.path() + ".tmp"));

  // Desktops switch entries off without removing them.
  for (const char* off :
       {"[Desktop Entry]\nExec=x\nHidden = true\n", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"}) {
    home.write("autostart/wattline.desktop", off);
    EXPECT_EQ(item.state(), LoginItemState::notRegistered) << off;
  }
  home.write("autostart/wattline.desktop", "[Other]\nHidden=true\n[Desktop Entry]\nExec=x\n");
  EXPECT_TRUE(entry.isEnabled());
  ASSERT_EQ(item.unregisterItem(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(entry.path()));
  EXPECT_EQ(SystemLoginItem(home.path("autostart"), "").state(), LoginItemState::notFound);
}

TEST(SystemLoginItem, QuotingRefusalsAndWriteFailures) {
  const std::string text = autostartEntry("/home/a b/$x \"q\" `c` 100%\\d");
  EXPECT_NE(text.find("\nExec=\"/home/a b/\\\\$x \\\\\"q\\\\\" \\\\`c\\\\` 100%%\\\\\\\\d\"\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(XdgAutostart("/nonexistent/ok", "w.desktop").write("/usr/bin/x\n--evil"));
  EXPECT_TRUE(XdgAutostart("", "w.desktop").write("/usr/bin/x"));

  FixtureCopy home("");
  EXPECT_TRUE(SystemLoginItem(home.path("autostart"), "").registerItem());
  for (std::string path : {"/tmp/wattline/wattline", "/Volumes/Disk/X.app/Contents/MacOS/X",
                           "/private/var/folders/x/AppTranslocation/1/X.app/Contents/MacOS/X"}) {
    SystemLoginItem refused(home.path("autostart"), path);
    auto error = refused.registerItem();
    ASSERT_TRUE(error) << path;
    EXPECT_EQ(error->domain, "Wattline.Startup");
    EXPECT_EQ(error->code, 1);
    EXPECT_EQ(error->description, "请先将 App 拖入“应用程序”文件夹，从那里打开后再开启开机自启。");
    EXPECT_EQ(refused.state(), LoginItemState::notRegistered);
  }
  EXPECT_FALSE(refusedLoginItemLocation("/home/me/tmp/wattline"));

  // A write failure (the directory is a file) is a registration error whose reason reaches the user.
  home.write("blocked", "file");
  auto error = SystemLoginItem(home.path("blocked"), "/usr/bin/wattline").registerItem();
  ASSERT_TRUE(error);
  EXPECT_NE(error->description.find(home.path("blocked")), std::string::npos);
}

}  // namespace
}  // namespace wattline
