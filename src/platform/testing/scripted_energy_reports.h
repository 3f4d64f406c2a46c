#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/energy_reports.h"

namespace wattline::testing {

// Energy reports with counters the test sets. A delta gives, for each
// subscribed channel, the change of the counter under its (group, name).
class ScriptedEnergyReports : public EnergyReports {
 public:
  struct Script {
    bool libraryMissing = false;
    std::optional<std::vector<ReportChannel>> channels = std::vector<ReportChannel>{};
    bool refuseSubscription = false;
    bool failSample = false;
    bool failDelta = false;
    // Unit of subscribed channels that carry none (the energy-counter driver's).
    std::string counterUnit = "nJ";
    std::map<std::pair<std::string, std::string>, std::int64_t> counters;
    OperatingSystemVersion version{14, 0, 0};
  };

  ScriptedEnergyReports() : state_(std::make_shared<State>()) {}
  Script& script() { return state_->script; }
  int opens() const { return state_->opens; }
  int samples() const { return state_->samples; }
  // The channels of the latest subscription request.
  const std::vector<ReportChannel>& lastRequest() const { return state_->lastRequest; }

  std::unique_ptr<EnergyReportLibrary> open() override;
  OperatingSystemVersion operatingSystemVersion() const override { return state_->script.version; }

 private:
  struct State {
    Script script;
    int opens = 0;
    int samples = 0;
    std::vector<ReportChannel> lastRequest;
  };
  class Library;
  class Subscription;
  std::shared_ptr<State> state_;
};

}  // namespace wattline::testing
