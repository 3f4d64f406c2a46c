// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/date.h"
#include "base/power_snapshot.h"

namespace wattline {

// ISO 8601 in UTC, whole seconds: "2026-12-06T16:14:12Z".
std::string isoDate(Date date);
// Accepts "Z" or a "+hh:mm" offset and optional fractional seconds; nothing for anything else.
std::optional<Date> parseIsoDate(std::string_view text);

class JsonDecodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Keys are the field names; absent optionals are left out.
nlohmann::json toJson(const PowerSnapshot& snapshot);
// Requires every non-optional field; throws JsonDecodingError naming the first problem.
PowerSnapshot snapshotFromJson(const nlohmann::json& json);

// Pretty-printed with sorted keys, as the tool modes print it.
std::string prettyJson(const nlohmann::json& json);

}  // namespace wattline
