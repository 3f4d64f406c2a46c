// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "base/unavailable_reason.h"

namespace wattline {

// Logs on wattline.readers why each absent reading is absent, once per change: a field that becomes
// absent or whose reason changes, and a field that is back.
class ReasonLog {
 public:
  void update(const UnavailableReasons& reasons);

 private:
  UnavailableReasons logged_;
};

}  // namespace wattline
