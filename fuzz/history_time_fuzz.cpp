// SPDX-License-Identifier: GPL-3.0-or-later
// Typed exact times: parsing any bytes must not crash, and whatever is accepted must be the very text the
// formatter writes for that instant at the text's own offset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/history_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto second = wattline::HistoryTime::parse(text);
  if (!second) return 0;

  std::string_view offset = text.substr(text.size() - 5);
  int minutes =
      ((offset[1] - '0') * 10 + (offset[2] - '0')) * 60 + (offset[3] - '0') * 10 + (offset[4] - '0');
  auto zone = wattline::HistoryTimeZone::fixed((offset[0] == '-' ? -60 : 60) * minutes);
  if (!zone || wattline::HistoryTime::label(*second, *zone) != text) std::abort();
  return 0;
}
