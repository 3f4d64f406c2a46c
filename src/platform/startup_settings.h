#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/login_item.h"

namespace wattline {

// Whether the program starts at login, and what to tell the user after a change.
// Main thread only; observers run after every assignment of `state` or `notice`.
class StartupSettings {
 public:
  explicit StartupSettings(std::shared_ptr<LoginItemManaging> service);

  LoginItemState state() const { return state_; }
  const std::optional<std::string>& notice() const { return notice_; }
  bool registered() const { return state_ == LoginItemState::enabled; }

  void refresh();
  void setEnabled(bool enabled);
  // The user has read the notice.
  void clearNotice() { setNotice(std::nullopt); }
  void openSystemSettings() { service_->openSettings(); }

  void observe(std::function<void()> observer) { observers_.push_back(std::move(observer)); }

 private:
  void setState(LoginItemState state);
  void setNotice(std::optional<std::string> notice);

  LoginItemState state_;
  std::optional<std::string> notice_;
  std::shared_ptr<LoginItemManaging> service_;
  std::vector<std::function<void()>> observers_;
};

}  // namespace wattline
