#include "platform/login_item.h"

namespace wattline {

std::string_view rawValue(LoginItemState state) {
  switch (state) {
    case LoginItemState::notRegistered:
      return "notRegistered";
    case LoginItemState::enabled:
      return "enabled";
    case LoginItemState::notFound:
      return "notFound";
  }
  return "notFound";
}

std::optional<LoginItemState> parseLoginItemState(std::string_view text) {
  for (auto state : {LoginItemState::notRegistered, LoginItemState::enabled, LoginItemState::notFound})
    if (rawValue(state) == text) return state;
  return std::nullopt;
}

}  // namespace wattline
