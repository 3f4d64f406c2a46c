// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/time_of_day.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace wattline {

std::string mediumTimeOfDay(Date date) {
  // Formatters are costly to build; one per thread follows the locale of the process.
  thread_local std::unique_ptr<icu::DateFormat> formatter(
      icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, icu::Locale::getDefault()));
  if (!formatter) return {};
  icu::UnicodeString text;
  formatter->format(secondsSince1970(date) * 1000.0, text);
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace wattline
