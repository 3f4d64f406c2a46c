// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace wattline {

// Why a reading is absent: a kind and what it concerns (a file, a device, the two values that disagree).
// Its text is "kind: detail", as in "permission denied: /sys/class/powercap/intel-rapl:0/energy_uj".
struct UnavailableReason {
  enum class Kind {
    noDevice,          // the device or sensor does not exist
    notReported,       // the driver does not offer the attribute
    permissionDenied,  // the file exists but this user may not read it
    unreadable,        // reading failed for another reason
    malformed,         // the text is not the number the kernel documents
    implausible,       // a value outside what the hardware can do, or contradicting another reading
    counterStill,      // an energy counter that did not advance over the interval
    counterReset,      // an energy counter that went back without a known wrap-around
    firstSample,       // a rate needs a second sample
    intervalTooShort,
    intervalTooLong,
    clocksDisagree,  // the machine slept or the clock was set during the interval
    needs,           // derived from another value that is absent
  };

  Kind kind = Kind::noDevice;
  std::string detail;

  std::string text() const;
  // The reason a text of text() names; nothing for any other text.
  static std::optional<UnavailableReason> fromText(std::string_view text);
  // The reason for a read that failed with `error` (an errno value) on the file at `path`.
  static UnavailableReason fromError(int error, const std::string& path);

  bool operator==(const UnavailableReason&) const = default;
};

// Reasons keyed by the name of the field they explain.
using UnavailableReasons = std::map<std::string, UnavailableReason, std::less<>>;

// A value, or why there is none.
struct Measured {
  std::optional<double> value;
  std::optional<UnavailableReason> reason;  // set when the value is absent

  static Measured absent(UnavailableReason::Kind kind, std::string detail) {
    return {std::nullopt, UnavailableReason{kind, std::move(detail)}};
  }
  bool operator==(const Measured&) const = default;
};

}  // namespace wattline
