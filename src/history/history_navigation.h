// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace wattline {

// Which part of the retained week the history window shows: a window of `span` seconds ending at
// `end`, a cursor `selected` inside it, the newest second `latest`, and whether the window follows the
// newest data. Every operation ends with the window inside the week and the cursor inside the window.
// "Now" is always handed in as a whole Unix second.
struct HistoryNavigation {
  static constexpr std::int64_t retention = 604800;
  static constexpr std::int64_t minimumSpan = 15;
  static constexpr std::int64_t defaultSpan = 3600;
  static constexpr std::array<std::int64_t, 5> presets = {300, 900, 3600, 86400, 604800};

  std::int64_t latest = 0;
  std::int64_t span = defaultSpan;
  std::int64_t end = 0;
  std::int64_t selected = 0;
  bool followsLatest = true;

  // Follows the newest data, showing the hour that ends at `now`.
  explicit HistoryNavigation(std::int64_t now) : latest(now), end(now), selected(now) {}

  bool operator==(const HistoryNavigation&) const = default;

  std::int64_t oldest() const { return latest - (retention - 1); }
  std::int64_t start() const { return end - span + 1; }
  std::int64_t center() const { return start() + (span - 1) / 2; }
  bool canZoomIn() const { return span > minimumSpan; }
  bool canZoomOut() const { return span < retention; }
  bool canGoBack() const { return oldest() < start(); }
  bool canGoForward() const { return end < latest; }

  // Advances `latest`; a following window moves its end and cursor along.
  void refresh(std::int64_t now);
  // A new window length; the mode stays, a browsing window keeps the cursor near its middle.
  void chooseSpan(std::int64_t span, std::int64_t now);
  // Multiplies the window length around the cursor (0.5 zooms in, 2 out). Factors that are not
  // finite and positive change nothing.
  void zoom(double factor, std::int64_t now);
  // Moves the window by `delta` seconds, the cursor with it.
  void pan(std::int64_t delta);
  // Moves the window so that its centre is `second`.
  void center(std::int64_t on);
  // Moves the cursor inside the window; the window stays.
  void select(std::int64_t second);
  // While following, puts the cursor on `recorded`, the newest second with a record, when it lies in
  // the window; the mode stays.
  void follow(std::int64_t recorded);
  // Moves the cursor to any retained second, moving the window when the second lies outside it.
  void seek(std::int64_t second);
  void step(std::int64_t delta);
  void returnToLatest(std::int64_t now);
  // The second shown at fraction `at` of the window's width (0 left edge, 1 right edge).
  std::int64_t second(double at) const;

  // The Chinese name of a window length: "5 分钟", "24 小时", "7 天".
  static std::string label(std::int64_t span);

 private:
  void clamp();
};

}  // namespace wattline
