#include "platform/startup_settings.h"

namespace wattline {

StartupSettings::StartupSettings(std::shared_ptr<LoginItemManaging> service) : service_(std::move(service)) {
  state_ = service_->state();
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
    setNotice(std::string("未能") + (enabled ? "开启" : "关闭") + "开机自启。系统提示：" +
              error->description);
    return;
  }
  // Written, yet the entry does not start this program: its path is unknown, or the desktop hides the entry.
  if (enabled && state_ != LoginItemState::enabled)
    setNotice("自启动项已写入，但登录时不会启动这个瓦迹。请在系统登录项设置中检查“瓦迹”。");
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
