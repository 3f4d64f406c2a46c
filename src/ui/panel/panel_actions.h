// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

#include "platform/geometry.h"

namespace wattline {

// What the panel's content calls; the presentation controller answers.
struct PanelActions {
  std::function<void(Size)> onSizeChange;  // the panel's wanted size
  std::function<void()> onShowHistory;
  std::function<void()> quit;
};

}  // namespace wattline
