#include "platform/startup_settings.h"

namespace wattline {

StartupSettings::StartupSettings(std::shared_ptr<LoginItemManaging> service) : service_(std::move(service)) {
  state_ = service_->state();
}

std::string StartupSettings::menuTitle() const {
  return state_ == LoginItemState::requiresApproval ? "开机自启 · 等待系统允许" : "开机自启";
}

void StartupSettings::refresh() {
  setState(service_->state());
}

void StartupSettings::setEnabled(bool enabled) {
  setState(service_->state());
  if (enabled == registered()) return;
  setNotice(std::nullopt);
  auto error = enabled ? service_->registerItem() : service_->unregisterItem();
  setState(service_->state());
  if (error) {
    if (state_ == LoginItemState::requiresApproval)
      setNotice("登录项需要系统允许。请在系统设置的“登录项”中允许瓦迹。");
    else
      setNotice(std::string("未能") + (enabled ? "开启" : "关闭") + "开机自启。系统提示：" +
                error->description);
    return;
  }
  if (state_ == LoginItemState::requiresApproval)
    setNotice("macOS 正在等待你允许登录项。请在系统设置的“登录项”中允许瓦迹，之后登录时会自动启动。");
  else if (enabled && state_ != LoginItemState::enabled)
    setNotice("系统尚未启用登录项。请先把 App 放到“应用程序”文件夹，再重试。");
}

void StartupSettings::setState(LoginItemState state) {
  state_ = state;
  for (const auto& observer : observers_) observer();
}

void StartupSettings::setNotice(std::optional<std::string> notice) {
  notice_ = std::move(notice);
  for (const auto& observer : observers_) observer();
}

}  // namespace wattline
