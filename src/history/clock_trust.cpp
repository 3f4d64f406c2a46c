// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/clock_trust.h"

#include "history/history_types.h"

namespace wattline {

ClockVerdict judgeClock(const ClockFacts& facts) {
  if (facts.now > facts.newestSecond - kHistoryRetention) return ClockVerdict::inStep;
  const auto lasted = [&](const std::optional<double>& since, double seconds) {
    return since && facts.uptime - *since >= seconds;
  };
  if (lasted(facts.synchronisedSince, kSynchronisedTrustSeconds) ||
      lasted(facts.behindSince, kBehindTrustSeconds))
    return ClockVerdict::forgetAhead;
  return ClockVerdict::hold;
}

}  // namespace wattline
