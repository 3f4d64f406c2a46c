#include "app/startup_settings.h"

#include <gtest/gtest.h>

#include "app/app_info.h"
#include "app/startup_policy.h"

namespace wattline {
namespace {

// A login-item service whose state and failures the test sets.
class ScriptedLoginItem : public LoginItemManaging {
 public:
  LoginItemState current = LoginItemState::notRegistered;
  // The state the service is in after a register or unregister call.
  std::optional<LoginItemState> after;
  std::optional<LoginItemError> failure;
  int registerCalls = 0;
  int unregisterCalls = 0;
  int settingsCalls = 0;

  LoginItemState state() const override { return current; }
  std::optional<LoginItemError> registerItem() override {
    ++registerCalls;
    if (after) current = *after;
    return failure;
  }
  std::optional<LoginItemError> unregisterItem() override {
    ++unregisterCalls;
    if (after) current = *after;
    return failure;
  }
  void openSettings() override { ++settingsCalls; }
};

TEST(LoginItemState, RawValuesAndRegistration) {
  for (auto state : {LoginItemState::notRegistered, LoginItemState::enabled, LoginItemState::requiresApproval,
                     LoginItemState::notFound})
    EXPECT_EQ(parseLoginItemState(rawValue(state)), state);
  EXPECT_EQ(rawValue(LoginItemState::requiresApproval), "requiresApproval");
  EXPECT_FALSE(parseLoginItemState("Enabled"));
  EXPECT_TRUE(isRegistered(LoginItemState::enabled));
  EXPECT_TRUE(isRegistered(LoginItemState::requiresApproval));
  EXPECT_FALSE(isRegistered(LoginItemState::notFound));
  EXPECT_FALSE(isRegistered(LoginItemState::notRegistered));
}

TEST(StartupPolicy, ShowsPanelWhenAnyReasonHolds) {
  EXPECT_FALSE(StartupPolicy::shouldShowPanel(false, false, false));
  EXPECT_TRUE(StartupPolicy::shouldShowPanel(true, false, false));
  EXPECT_TRUE(StartupPolicy::shouldShowPanel(false, true, false));
  EXPECT_TRUE(StartupPolicy::shouldShowPanel(false, false, true));
  EXPECT_STREQ(StartupPolicy::showOnLaunchKey, "showPanelOnLaunch");
  EXPECT_EQ(AppInfo::version(std::nullopt), "开发版");
  EXPECT_EQ(AppInfo::version(std::string()), "开发版");
  EXPECT_EQ(AppInfo::version(std::string("1.2")), "1.2");
}

TEST(StartupSettings, ReadsStateAndTitles) {
  auto service = std::make_shared<ScriptedLoginItem>();
  service->current = LoginItemState::requiresApproval;
  StartupSettings settings(service);
  EXPECT_EQ(settings.state(), LoginItemState::requiresApproval);
  EXPECT_TRUE(settings.registered());
  EXPECT_EQ(settings.menuTitle(), "开机自启 · 等待系统允许");
  EXPECT_FALSE(settings.notice());

  int changes = 0;
  settings.observe([&] { ++changes; });
  service->current = LoginItemState::enabled;
  settings.refresh();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(settings.menuTitle(), "开机自启");
  settings.openSystemSettings();
  EXPECT_EQ(service->settingsCalls, 1);
}

TEST(StartupSettings, NoticesAfterChanges) {
  auto service = std::make_shared<ScriptedLoginItem>();
  StartupSettings settings(service);

  // Failing to enable: the error's description is passed on.
  service->failure =
      LoginItemError{"Wattline.Startup", 1, "请先将 App 拖入“应用程序”文件夹，从那里打开后再开启开机自启。"};
  settings.setEnabled(true);
  EXPECT_EQ(service->registerCalls, 1);
  EXPECT_EQ(settings.notice(),
            "未能开启开机自启。系统提示：请先将 App 拖入“应用程序”文件夹，从那里打开后再开启开机自启。");

  // A failure that leaves the item waiting for approval.
  service->after = LoginItemState::requiresApproval;
  settings.setEnabled(true);
  EXPECT_EQ(settings.notice(), "登录项需要系统允许。请在系统设置的“登录项”中允许瓦迹。");
  EXPECT_EQ(settings.state(), LoginItemState::requiresApproval);

  // Already registered (waiting for approval): nothing happens and the notice stays.
  settings.setEnabled(true);
  EXPECT_EQ(service->registerCalls, 2);
  EXPECT_EQ(settings.notice(), "登录项需要系统允许。请在系统设置的“登录项”中允许瓦迹。");

  // Failing to disable.
  service->current = LoginItemState::enabled;
  service->after = std::nullopt;
  service->failure = LoginItemError{"Wattline.Startup", 1, "X"};
  settings.setEnabled(false);
  EXPECT_EQ(service->unregisterCalls, 1);
  EXPECT_EQ(settings.notice(), "未能关闭开机自启。系统提示：X");
}

TEST(StartupSettings, NoticesAfterSuccess) {
  auto service = std::make_shared<ScriptedLoginItem>();
  StartupSettings settings(service);

  service->after = LoginItemState::requiresApproval;
  settings.setEnabled(true);
  EXPECT_EQ(settings.notice(),
            "macOS 正在等待你允许登录项。请在系统设置的“登录项”中允许瓦迹，之后登录时会自动启动。");

  service->current = LoginItemState::notRegistered;
  service->after = LoginItemState::notRegistered;
  settings.setEnabled(true);
  EXPECT_EQ(settings.notice(), "系统尚未启用登录项。请先把 App 放到“应用程序”文件夹，再重试。");

  service->after = LoginItemState::enabled;
  settings.setEnabled(true);
  EXPECT_FALSE(settings.notice());
  EXPECT_EQ(settings.state(), LoginItemState::enabled);

  // Disabling successfully says nothing, whatever the state, unless approval is pending.
  service->after = LoginItemState::notFound;
  settings.setEnabled(false);
  EXPECT_FALSE(settings.notice());
  service->current = LoginItemState::enabled;
  service->after = LoginItemState::requiresApproval;
  settings.setEnabled(false);
  EXPECT_EQ(settings.notice(),
            "macOS 正在等待你允许登录项。请在系统设置的“登录项”中允许瓦迹，之后登录时会自动启动。");
}

}  // namespace
}  // namespace wattline
