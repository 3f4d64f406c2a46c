#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wattline {

enum class LoginItemState { notRegistered, enabled, notFound };

std::string_view rawValue(LoginItemState state);
// Nothing for any text that is not a state's raw value.
std::optional<LoginItemState> parseLoginItemState(std::string_view text);

// A failed registration change; `description` is what the user is shown.
struct LoginItemError {
  std::string domain;
  int code = 1;
  std::string description;
};

// The platform's service that starts this program at login.
class LoginItemManaging {
 public:
  virtual ~LoginItemManaging() = default;
  virtual LoginItemState state() const = 0;
  // Nothing on success. ("register" is a C++ keyword.)
  virtual std::optional<LoginItemError> registerItem() = 0;
  virtual std::optional<LoginItemError> unregisterItem() = 0;
  virtual void openSettings() = 0;
};

}  // namespace wattline
