// SPDX-License-Identifier: GPL-3.0-or-later

#include "readers/process_power_snapshot.h"

#include "base/json_coding.h"

namespace wattline {

std::string_view rawValue(ProcessPowerSnapshot::Phase phase) {
  switch (phase) {
    case ProcessPowerSnapshot::Phase::idle:
      return "idle";
    case ProcessPowerSnapshot::Phase::sampling:
      return "sampling";
    case ProcessPowerSnapshot::Phase::ready:
      return "ready";
    case ProcessPowerSnapshot::Phase::unavailable:
      return "unavailable";
  }
  return "idle";
}

std::optional<ProcessPowerSnapshot::Phase> parseProcessPowerPhase(std::string_view text) {
  for (auto phase : {ProcessPowerSnapshot::Phase::idle, ProcessPowerSnapshot::Phase::sampling,
                     ProcessPowerSnapshot::Phase::ready, ProcessPowerSnapshot::Phase::unavailable})
    if (rawValue(phase) == text) return phase;
  return std::nullopt;
}

bool ProcessPowerSnapshot::isFresh(Date date) const {
  if (!updatedAt) return false;
  double age = secondsBetween(*updatedAt, date);
  return age >= -1.0 && age <= 6.0;
}

ProcessPowerSnapshot ProcessPowerSnapshot::preview(Date now) {
  return {Phase::ready,
          {{"browser", "浏览器", 1.243, 6}, {"editor", "视频剪辑", 0.582, 2}, {"wattline", "瓦迹", 0.031, 1}},
          now};
}

nlohmann::json ProcessPowerSnapshot::toJSON() const {
  nlohmann::json rowsJSON = nlohmann::json::array();
  for (const auto& row : rows)
    rowsJSON.push_back(
        {{"id", row.id}, {"name", row.name}, {"watts", row.watts}, {"processCount", row.processCount}});
  nlohmann::json json = {{"phase", rawValue(phase)}, {"rows", std::move(rowsJSON)}};
  if (updatedAt) json["updatedAt"] = isoDate(*updatedAt);
  return json;
}

std::optional<ProcessPowerSnapshot> ProcessPowerSnapshot::fromJSON(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  auto phaseIt = json.find("phase");
  auto rowsIt = json.find("rows");
  if (phaseIt == json.end() || !phaseIt->is_string() || rowsIt == json.end() || !rowsIt->is_array())
    return std::nullopt;
  ProcessPowerSnapshot snapshot;
  auto phase = parseProcessPowerPhase(phaseIt->get<std::string>());
  if (!phase) return std::nullopt;
  snapshot.phase = *phase;
  for (const auto& item : *rowsIt) {
    if (!item.is_object()) return std::nullopt;
    auto id = item.find("id");
    auto name = item.find("name");
    auto watts = item.find("watts");
    auto count = item.find("processCount");
    if (id == item.end() || !id->is_string() || name == item.end() || !name->is_string() ||
        watts == item.end() || !watts->is_number() || count == item.end() || !count->is_number_integer())
      return std::nullopt;
    snapshot.rows.push_back(
        {id->get<std::string>(), name->get<std::string>(), watts->get<double>(), count->get<int>()});
  }
  if (auto date = json.find("updatedAt"); date != json.end()) {
    if (!date->is_string()) return std::nullopt;
    snapshot.updatedAt = parseIsoDate(date->get<std::string>());
    if (!snapshot.updatedAt) return std::nullopt;
  }
  return snapshot;
}

}  // namespace wattline
