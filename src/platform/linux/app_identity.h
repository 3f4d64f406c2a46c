// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/identity.h"
#include "platform/process_activity.h"

namespace wattline {

// The program's identity. Linux has no bundles: the identifier can be set with
// WATTLINE_BUNDLE_IDENTIFIER (a test build uses "local.wattline.history-candidate").
class AppIdentity : public Identity {
 public:
  std::optional<std::string> bundleIdentifier() const override;
  std::optional<std::string> version() const override;
};

// Linux does not throttle background processes, so there is nothing to announce.
class NoProcessActivity : public ProcessActivity {
 public:
  int begin(const std::string&) override { return ++last_; }
  void end(int) override {}

 private:
  int last_ = 0;
};

}  // namespace wattline
