// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "readers/process_power_snapshot.h"

namespace wattline {

// Turns two process batches into the three application groups using the most power.
struct ProcessPowerPolicy {
  // `previous` is the baseline batch, nullptr when there is none yet.
  static ProcessPowerSnapshot sample(const ProcessEnergyBatch* previous, const ProcessEnergyBatch& current);

  // The bundle directory of an executable path: everything up to the first ".app/",
  // ".app" included; nothing when the path is not inside a bundle.
  static std::optional<std::string> appPath(std::string_view path);
};

}  // namespace wattline
