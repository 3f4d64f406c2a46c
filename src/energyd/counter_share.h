// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wattline::energyd {

// One powercap domain's energy counter as read.
struct CounterValue {
  std::string zone;  // its entry in class/powercap, "intel-rapl:0"
  std::uint64_t microjoules = 0;
  std::uint64_t maxRange = 0;  // where it wraps around to 0; 0 when the kernel does not say

  bool operator==(const CounterValue&) const = default;
};

// The counters read together at one moment of the monotonic clock.
struct CountersRead {
  std::int64_t readAtNanoseconds = 0;
  std::vector<CounterValue> counters;
};

// At most one read of the counters a second, shared by every caller: a call within a second of the last read
// gets that read, values and time alike, so no caller can sample faster than once a second.
class CounterShare {
 public:
  static constexpr std::int64_t kPeriodNanoseconds = 1'000'000'000;

  // The read that answers a call at monotonic `now`: the last one while less than a second old, else
  // `read(now)`.
  const CountersRead& answer(std::int64_t now, const std::function<CountersRead(std::int64_t)>& read);

 private:
  std::optional<CountersRead> last_;
};

// Nanoseconds left until a service last called at `lastCall` has been idle for `idle`; 0 once it has.
std::int64_t idleTimeLeft(std::int64_t lastCall, std::int64_t now, std::int64_t idle);

}  // namespace wattline::energyd
