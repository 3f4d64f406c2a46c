#include "platform/startup_settings.h"

#include <gtest/gtest.h>

namespace wattline {
namespace {

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
  const std::string app = "请先将 App 拖入“应用程序”文件夹，从那里打开后再开启开机自启。";
  const std::string approve = "登录项需要系统允许。请在系统设置的“登录项”中允许瓦迹。";
  const std::string waiting =
      "macOS 正在等待你允许登录项。请在系统设置的“登录项”中允许瓦迹，之后登录时会自动启动。";
  struct Step {
    std::optional<S> current, after;
    std::optional<std::string> failure;
    bool enable;
    int calls;  // register and unregister calls so far
    std::optional<std::string> notice;
  };
  const std::vector<Step> steps{
      {{}, {}, app, true, 1, "未能开启开机自启。系统提示：" + app},  // the error's description is passed on
      {{}, S::requiresApproval, app, true, 2, approve},              // a failure leaving approval pending
      {{}, S::requiresApproval, app, true, 2, approve},              // already registered: nothing happens
      {S::enabled, {}, "X", false, 3, "未能关闭开机自启。系统提示：X"},
      {S::notRegistered, S::requiresApproval, {}, true, 4, waiting},
      {S::notRegistered,
       S::notRegistered,
       {},
       true,
       5,
       "系统尚未启用登录项。请先把 App 放到“应用程序”文件夹，再重试。"},
      {{}, S::enabled, {}, true, 6, std::nullopt},
      {{}, S::notFound, {}, false, 7, std::nullopt},             // disabling successfully says nothing,
      {S::enabled, S::requiresApproval, {}, false, 8, waiting},  // unless approval is pending
  };
  auto service = std::make_shared<ScriptedLoginItem>();
  StartupSettings settings(service);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    if (step.current) service->current = *step.current;
    service->after = step.after;
    service->failure.reset();
    if (step.failure) service->failure = LoginItemError{"Wattline.Startup", 1, *step.failure};
    settings.setEnabled(step.enable);
    EXPECT_EQ(service->registerCalls + service->unregisterCalls, step.calls) << i;
    EXPECT_EQ(settings.notice(), step.notice) << i;
    EXPECT_EQ(settings.state(), service->current) << i;
  }
}

}  // namespace
}  // namespace wattline
