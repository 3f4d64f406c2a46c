// SPDX-License-Identifier: GPL-3.0-or-later

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
