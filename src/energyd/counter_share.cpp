// SPDX-License-Identifier: GPL-3.0-or-later

#include "energyd/counter_share.h"

#include <algorithm>

namespace wattline::energyd {

const CountersRead& CounterShare::answer(std::int64_t now,
                                         const std::function<CountersRead(std::int64_t)>& read) {
  // A clock seen going back keeps the last read: the share errs on the side of reading less often.
  if (!last_ || now - last_->readAtNanoseconds >= kPeriodNanoseconds) last_ = read(now);
  return *last_;
}

std::int64_t idleTimeLeft(std::int64_t lastCall, std::int64_t now, std::int64_t idle) {
  return std::clamp<std::int64_t>(lastCall + idle - now, 0, idle);
}

}  // namespace wattline::energyd
