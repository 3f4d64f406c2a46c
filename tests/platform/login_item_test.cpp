// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/fixture_copy.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/qt/system_login_item.h"
#include "platform/startup_settings.h"

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
  const std::string temporary = "/tmp/.mount_wattlXYZ/usr/bin/wattline";
  auto refused = SystemLoginItem(home.path("autostart"), temporary).registerItem();
  ASSERT_TRUE(refused);
  EXPECT_EQ(std::make_tuple(refused->domain, refused->code, refused->description),
            std::make_tuple("Wattline.Startup", 1,
                            "瓦迹正从临时目录或可移动磁盘运行（" + temporary +
                                "），登录时可能找不到它。请先安装瓦迹，再开启开机自启。"));
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

// A login-item service whose state and failures the test sets; `after` is its state after a change.
struct ScriptedLoginItem : LoginItemManaging {
  LoginItemState current = LoginItemState::notRegistered;
  std::optional<LoginItemState> after;
  std::optional<LoginItemError> failure;
  int registerCalls = 0, unregisterCalls = 0, settingsCalls = 0;
  LoginItemState state() const override { return current; }
  std::optional<LoginItemError> change(int& calls) {
    ++calls;
    if (after) current = *after;
    return failure;
  }
  std::optional<LoginItemError> registerItem() override { return change(registerCalls); }
  std::optional<LoginItemError> unregisterItem() override { return change(unregisterCalls); }
  void openSettings() override { ++settingsCalls; }
};

// One service through failures and successes in both directions; a notice stays until the next change.
TEST(StartupSettings, NoticesAfterChanges) {
  using S = LoginItemState;
  const std::string denied = "无法写入 ~/.config/autostart/wattline.desktop：权限不够";
  struct Step {
    std::optional<S> current, after;
    std::optional<std::string> failure;
    bool enable;
    int calls;  // register and unregister calls so far
    std::optional<std::string> notice;
  };
  const std::string notStarting =
      "自启动项已写入，但登录时不会启动这个瓦迹。请在系统登录项设置中检查“瓦迹”。";
  // The error's description is passed on; already registered, nothing happens; disabling says nothing.
  const std::vector<Step> steps{
      {{}, {}, denied, true, 1, "未能开启开机自启。系统提示：" + denied},
      {S::enabled, {}, {}, true, 1, "未能开启开机自启。系统提示：" + denied},
      {S::enabled, {}, "X", false, 2, "未能关闭开机自启。系统提示：X"},
      {S::notRegistered, S::notFound, {}, true, 3, notStarting},
      {{}, S::enabled, {}, true, 4, std::nullopt},
      {{}, S::notRegistered, {}, false, 5, std::nullopt},
  };
  auto service = std::make_shared<ScriptedLoginItem>();
  StartupSettings settings(service);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    if (step.current) service->current = *step.current;
    service->after = step.after;
    service->failure =
        step.failure ? std::optional(LoginItemError{"Wattline.Startup", 1, *step.failure}) : std::nullopt;
    settings.setEnabled(step.enable);
    EXPECT_EQ(service->registerCalls + service->unregisterCalls, step.calls) << i;
    EXPECT_EQ(settings.notice(), step.notice) << i;
    EXPECT_EQ(settings.state(), service->current) << i;
  }
}

}  // namespace
}  // namespace wattline
