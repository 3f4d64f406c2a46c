// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "base/date.h"

namespace wattline {

// The time of day of `date` in the medium time style of the user's locale and
// time zone, such as "14:03:27" for zh_CN.
std::string mediumTimeOfDay(Date date);

}  // namespace wattline
