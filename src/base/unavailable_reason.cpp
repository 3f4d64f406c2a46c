// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/unavailable_reason.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace wattline {

namespace {

using Kind = UnavailableReason::Kind;

constexpr std::pair<Kind, std::string_view> kPrefixes[] = {
    {Kind::noDevice, "no such device"},
    {Kind::notReported, "not reported"},
    {Kind::permissionDenied, "permission denied"},
    {Kind::unreadable, "unreadable"},
    {Kind::malformed, "malformed"},
    {Kind::implausible, "rejected as implausible"},
    {Kind::counterStill, "counter did not advance"},
    {Kind::counterReset, "counter went back"},
    {Kind::firstSample, "first sample"},
    {Kind::intervalTooShort, "interval too short"},
    {Kind::intervalTooLong, "interval too long"},
    {Kind::clocksDisagree, "wall and monotonic clocks disagree"},
    {Kind::needs, "needs"},
};

}  // namespace

std::string UnavailableReason::text() const {
  for (const auto& [k, prefix] : kPrefixes) {
    if (k == kind) return std::string(prefix) + ": " + detail;
  }
  return detail;
}

std::optional<UnavailableReason> UnavailableReason::fromText(std::string_view text) {
  for (const auto& [kind, prefix] : kPrefixes) {
    if (text.size() >= prefix.size() + 2 && text.starts_with(prefix) && text.substr(prefix.size(), 2) == ": ")
      return UnavailableReason{kind, std::string(text.substr(prefix.size() + 2))};
  }
  return std::nullopt;
}

UnavailableReason UnavailableReason::fromError(int error, const std::string& path) {
  switch (error) {
    case EACCES:
    case EPERM:
      return {Kind::permissionDenied, path};
    case ENOENT:
    case ENOTDIR:
      return {Kind::notReported, path};
    default: {
      // strerror is not safe beside the other readers' threads; the description is.
      const char* description = strerrordesc_np(error);
      return {Kind::unreadable,
              path + " (" + (description ? description : "error " + std::to_string(error)) + ")"};
    }
  }
}

}  // namespace wattline
