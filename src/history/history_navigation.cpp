// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_navigation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wattline {

namespace {

// User-supplied offsets may be anything; a sum past the 64-bit range stops at its edge, where the
// clamping that follows brings it back into the week.
std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum;
  if (__builtin_add_overflow(a, b, &sum))
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
  return sum;
}

std::int64_t saturatingSubtract(std::int64_t a, std::int64_t b) {
  std::int64_t difference;
  if (__builtin_sub_overflow(a, b, &difference))
    return b < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
  return difference;
}

}  // namespace

void HistoryNavigation::clamp() {
  std::int64_t minEnd = latest - retention + span;
  end = std::min(std::max(end, minEnd), latest);
  selected = std::min(std::max(selected, start()), end);
}

void HistoryNavigation::refresh(std::int64_t now) {
  latest = now;
  if (followsLatest) end = selected = now;
  clamp();
}

void HistoryNavigation::chooseSpan(std::int64_t newSpan, std::int64_t now) {
  refresh(now);
  span = std::min(std::max(newSpan, minimumSpan), retention);
  end = followsLatest ? latest : selected + span / 2;
  clamp();
}

void HistoryNavigation::zoom(double factor, std::int64_t now) {
  if (!std::isfinite(factor) || factor <= 0) return;
  followsLatest = false;
  double p = factor * static_cast<double>(span);
  std::int64_t s = p < static_cast<double>(minimumSpan)
                       ? minimumSpan
                       : static_cast<std::int64_t>(std::round(std::min(p, static_cast<double>(retention))));
  chooseSpan(s, now);
}

void HistoryNavigation::pan(std::int64_t delta) {
  std::int64_t minEnd = latest - retention + span;
  std::int64_t newEnd = std::min(std::max(minEnd, saturatingAdd(end, delta)), latest);
  std::int64_t moved = newEnd - end;
  end = newEnd;
  selected += moved;
  followsLatest = false;
  clamp();
}

void HistoryNavigation::center(std::int64_t on) {
  pan(saturatingSubtract(on, center()));
}

void HistoryNavigation::select(std::int64_t second) {
  selected = std::min(std::max(second, start()), end);
  followsLatest = false;
}

void HistoryNavigation::follow(std::int64_t recorded) {
  if (followsLatest && recorded >= start() && recorded <= end) selected = recorded;
}

void HistoryNavigation::seek(std::int64_t second) {
  std::int64_t s = std::min(std::max(second, oldest()), latest);
  if (s < start() || s > end) end = s + span / 2;
  selected = s;
  followsLatest = false;
  clamp();
}

void HistoryNavigation::step(std::int64_t delta) {
  seek(saturatingAdd(selected, delta));
}

void HistoryNavigation::returnToLatest(std::int64_t now) {
  followsLatest = true;
  latest = end = selected = now;
  clamp();
}

std::int64_t HistoryNavigation::second(double at) const {
  double f = std::isfinite(at) && at > 0 ? std::min(at, 1.0) : 0.0;
  return start() + static_cast<std::int64_t>(std::round(f * static_cast<double>(span - 1)));
}

std::string HistoryNavigation::label(std::int64_t span) {
  if (span == 86400) return "24 小时";
  if (span >= 86400 && span % 86400 == 0) return std::to_string(span / 86400) + " 天";
  if (span >= 3600 && span % 3600 == 0) return std::to_string(span / 3600) + " 小时";
  if (span >= 60 && span % 60 == 0) return std::to_string(span / 60) + " 分钟";
  return std::to_string(span) + " 秒";
}

}  // namespace wattline
