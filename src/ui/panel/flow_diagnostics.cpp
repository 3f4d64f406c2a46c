// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/panel/flow_diagnostics.h"

#include <fstream>

#include "base/json_coding.h"
#include "power/power_monitor.h"
#include "ui/panel/panel_placement.h"

namespace wattline {

namespace {

nlohmann::json rectJson(const Rect& rect) {
  return {{"x", rect.x}, {"y", rect.y}, {"width", rect.width}, {"height", rect.height}};
}

template <class T, class Convert>
nlohmann::json orNull(const std::optional<T>& value, Convert convert) {
  return value ? nlohmann::json(convert(*value)) : nlohmann::json(nullptr);
}

nlohmann::json number(const std::optional<double>& value) {
  return orNull(value, [](double v) { return v; });
}

nlohmann::json date(const std::optional<Date>& value) {
  return orNull(value, isoDate);
}

}  // namespace

std::string keyWindowName(const std::optional<KeyWindow>& window) {
  if (!window) return "none";
  if (!window->identifier.empty()) return window->identifier;
  if (!window->title.empty()) return window->title;
  return "none";
}

std::string traceText(const TraceLine& line) {
  nlohmann::json json = {{"uptime", line.uptime},
                         {"event", line.event},
                         {"reason", line.reason},
                         {"generation", line.generation},
                         {"target", line.target},
                         {"depth", line.depth},
                         {"reconciling", line.reconciling},
                         {"active", line.active},
                         {"hidesOnDeactivate", line.hidesOnDeactivate},
                         {"keyWindow", line.keyWindow},
                         {"panelVisible", line.panelVisible},
                         {"panelKey", line.panelKey},
                         {"panelMonitorVisible", line.panelMonitorVisible},
                         {"historyVisible", line.historyVisible},
                         {"historyMini", line.historyMini},
                         {"historyKey", line.historyKey}};
  // nlohmann's objects keep their keys sorted.
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void appendTraceLine(const std::filesystem::path& file, const TraceLine& line) {
  std::ofstream out(file, std::ios::app);
  out << traceText(line) << '\n';
}

nlohmann::json layoutProbeJson(const LayoutProbe& probe, const PowerMonitor& monitor) {
  std::optional<Rect> bounds;
  nlohmann::json screen = nullptr, topAreas = nlohmann::json::array();
  if (probe.screen) {
    const Screen& s = *probe.screen;
    bounds = PanelPlacement::safeBounds(s.frame, s.visibleFrame, s.safeTopInset);
    screen = {{"id", s.id},
              {"frame", rectJson(s.frame)},
              {"visibleFrame", rectJson(s.visibleFrame)},
              {"safeTopInset", s.safeTopInset}};
    for (const auto& area : s.unobscuredTopAreas) topAreas.push_back(rectJson(area));
  }
  nlohmann::json anchorUnobscured = nullptr;
  if (probe.menuAnchor && probe.screen)
    anchorUnobscured = PanelPlacement::menuItemFits(*probe.menuAnchor, probe.screen->frame,
                                                    probe.screen->unobscuredTopAreas);

  const PowerSnapshot& s = monitor.snapshot();
  nlohmann::json rows = nlohmann::json::array();
  for (const auto& row : monitor.processPower().rows)
    rows.push_back({{"name", row.name}, {"watts", row.watts}, {"processCount", row.processCount}});
  nlohmann::json history = nlohmann::json::array();
  for (const auto& sample : monitor.history())
    history.push_back({{"timestamp", isoDate(sample.timestamp)}, {"watts", number(sample.watts)}});
  const PanelLayout& layout = probe.layout;

  return {{"appVersion", probe.version},
          {"screen", screen},
          {"safeBounds", orNull(bounds, rectJson)},
          {"panelFrame", rectJson(probe.panelFrame)},
          {"containerFrame", rectJson(layout.containerFrame)},
          {"containerBounds", rectJson(layout.containerBounds)},
          {"hostingFrame", rectJson(layout.hostingFrame)},
          {"hostingBounds", rectJson(layout.hostingBounds)},
          {"windowInsideSafeBounds", bounds && !bounds->isEmpty() && bounds->contains(probe.panelFrame)},
          {"hostingFillsContainer", layout.hostingFrame == layout.containerBounds},
          {"hostingOriginIsZero", layout.hostingFrame.x == 0 && layout.hostingFrame.y == 0},
          {"presentationTarget", probe.presentationTarget},
          {"requestGeneration", probe.requestGeneration},
          {"historyRequested", probe.historyRequested},
          {"historyVisible", probe.historyVisible},
          {"historyMiniaturized", probe.historyMiniaturized},
          {"requestedSize", {{"width", probe.requestedSize.width}, {"height", probe.requestedSize.height}}},
          {"refreshInterval", monitor.refreshInterval()},
          {"sampleTimestamp", isoDate(s.timestamp)},
          {"sampleCount", monitor.sampleCount()},
          {"detailSampleCount", monitor.detailSampleCount()},
          {"detailsExpanded", monitor.detailsExpanded()},
          {"inputAmps", number(s.inputAmps)},
          {"batteryAmps", number(s.batteryAmps)},
          {"systemWatts", number(s.systemWatts)},
          {"cpuWatts", number(s.cpuWatts)},
          {"displayWatts", number(s.displayWatts)},
          {"wifiWatts", number(s.wifiWatts)},
          {"systemSource", rawValue(s.systemSource)},
          {"batterySource", rawValue(s.batterySource)},
          {"inputSource", rawValue(s.inputSource)},
          {"componentsUpdatedAt", date(s.componentsUpdatedAt)},
          {"componentSampleDuration", number(s.componentSampleDuration)},
          {"displayUpdatedAt", date(s.displayUpdatedAt)},
          {"batteryUpdatedAt", date(s.batteryUpdatedAt)},
          {"inputUpdatedAt", date(s.inputUpdatedAt)},
          {"systemUpdatedAt", date(s.systemUpdatedAt)},
          {"processPowerPhase", rawValue(monitor.processPower().phase)},
          {"processPowerRows", rows},
          {"powerHistory", history},
          {"menuTitle", orNull(probe.menuTitle, [](const std::string& t) { return t; })},
          {"menuAnchor", orNull(probe.menuAnchor, rectJson)},
          {"menuTopAreas", topAreas},
          {"menuAnchorIsUnobscured", anchorUnobscured},
          {"timestamp", isoDate(probe.timestamp)}};
}

void writeLayoutProbe(const std::filesystem::path& file, const LayoutProbe& probe,
                      const PowerMonitor& monitor) {
  // Written beside the file and renamed over it, so a reader never sees half a probe.
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << prettyJson(layoutProbeJson(probe, monitor)) << '\n';
    written = static_cast<bool>(out.flush());
  }
  std::error_code error;
  if (written) std::filesystem::rename(temporary, file, error);
  if (!written || error) std::filesystem::remove(temporary, error);
}

}  // namespace wattline
