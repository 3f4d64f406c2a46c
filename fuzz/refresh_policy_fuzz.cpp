// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever the user types, a parsed interval is valid and finite.
#include <cmath>
#include <cstdlib>

#include "fuzz_input.h"
#include "power/refresh_policy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  std::string text = in.rest();
  auto seconds = wattline::RefreshPolicy::parse(text);
  if (seconds && (!std::isfinite(*seconds) || !wattline::RefreshPolicy::isValid(*seconds))) std::abort();
  (void)wattline::RefreshPolicy::label(seconds.value_or(1.0));
  return 0;
}
