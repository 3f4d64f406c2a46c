// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "base/date.h"
#include "platform/windowing.h"

namespace wattline {

class PowerMonitor;

// One line of the window-presentation trace.
struct TraceLine {
  double uptime;
  std::string event, reason;
  std::uint64_t generation;
  std::string target;
  int depth;
  bool reconciling, active, hidesOnDeactivate;
  std::string keyWindow;
  bool panelVisible, panelKey, panelMonitorVisible, historyVisible, historyMini, historyKey;
};

// The key window's identifier, else its title, else "none".
std::string keyWindowName(const std::optional<KeyWindow>& window);
// A JSON object with sorted keys on one line.
std::string traceText(const TraceLine& line);
// Appends the line and a line feed, creating the file; a file that cannot be written is skipped.
void appendTraceLine(const std::filesystem::path& file, const TraceLine& line);

// What the controller knows for the layout probe; the monitor adds the readings.
struct LayoutProbe {
  std::string version;
  std::optional<Screen> screen;
  Rect panelFrame;
  PanelLayout layout;
  std::string presentationTarget;
  std::uint64_t requestGeneration;
  bool historyRequested, historyVisible, historyMiniaturized;
  Size requestedSize;
  std::optional<std::string> menuTitle;
  std::optional<Rect> menuAnchor;
  Date timestamp;
};

nlohmann::json layoutProbeJson(const LayoutProbe& probe, const PowerMonitor& monitor);
// Replaces the file with the pretty-printed probe; a file that cannot be written is skipped.
void writeLayoutProbe(const std::filesystem::path& file, const LayoutProbe& probe,
                      const PowerMonitor& monitor);

}  // namespace wattline
