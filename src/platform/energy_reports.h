#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "readers/component_power_policy.h"

namespace wattline {

// The legend of an energy-counter driver channel: its id, the library's legend format, its name.
struct ChannelLegend {
  std::uint64_t id = 0;
  std::int64_t format = 0;
  std::string name;
};

// One channel as the energy-report library describes it. Library channels
// carry their labels as the library reports them (untrimmed); channels built
// for the energy-counter driver also carry the driver and legend entries.
struct ReportChannel {
  std::string group;
  std::string subGroup;
  std::string name;
  std::string unit;
  std::optional<std::uint64_t> driverID;
  std::string driverName;
  std::optional<std::int64_t> unitCode;
  std::optional<ChannelLegend> legend;
};

// One channel of a delta: its labels as reported and its integer value.
struct ReportDelta {
  std::string group;
  std::string name;
  std::string unit;
  std::int64_t value = 0;
};

// An opaque samples object of the library.
class ReportSamples {
 public:
  virtual ~ReportSamples() = default;
};

// A subscription with its subscribed channels. Destroying it releases both.
class ReportSubscription {
 public:
  virtual ~ReportSubscription() = default;
  // The counters now; nothing when sampling fails.
  virtual std::shared_ptr<const ReportSamples> sample() = 0;
  // The channels' change from `earlier` to `later`; nothing when the library refuses.
  virtual std::optional<std::vector<ReportDelta>> delta(const ReportSamples& earlier,
                                                        const ReportSamples& later) = 0;
};

// The opened energy-report library. Destroying it closes the library.
class EnergyReportLibrary {
 public:
  virtual ~EnergyReportLibrary() = default;
  // Every channel the system offers; nothing when the call fails.
  virtual std::optional<std::vector<ReportChannel>> allChannels() = 0;
  // Nothing unless both the subscription and its subscribed channels come back.
  virtual std::unique_ptr<ReportSubscription> subscribe(const std::vector<ReportChannel>& request) = 0;
};

// Access to energy reports and the facts about the system they depend on.
class EnergyReports {
 public:
  virtual ~EnergyReports() = default;
  // Nothing when the library or one of its calls is missing.
  virtual std::unique_ptr<EnergyReportLibrary> open() = 0;
  virtual OperatingSystemVersion operatingSystemVersion() const = 0;
};

}  // namespace wattline
