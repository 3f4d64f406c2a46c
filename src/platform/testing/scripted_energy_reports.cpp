#include "platform/testing/scripted_energy_reports.h"

namespace wattline::testing {

namespace {

using Key = std::pair<std::string, std::string>;

class Counters : public ReportSamples {
 public:
  explicit Counters(std::map<Key, std::int64_t> values) : values(std::move(values)) {}
  std::map<Key, std::int64_t> values;
};

}  // namespace

class ScriptedEnergyReports::Subscription : public ReportSubscription {
 public:
  Subscription(std::shared_ptr<State> state, std::vector<ReportChannel> channels)
      : state_(std::move(state)), channels_(std::move(channels)) {}

  std::shared_ptr<const ReportSamples> sample() override {
    ++state_->samples;
    if (state_->script.failSample) return nullptr;
    return std::make_shared<Counters>(state_->script.counters);
  }

  std::optional<std::vector<ReportDelta>> delta(const ReportSamples& earlier,
                                                const ReportSamples& later) override {
    if (state_->script.failDelta) return std::nullopt;
    const auto& from = dynamic_cast<const Counters&>(earlier).values;
    const auto& to = dynamic_cast<const Counters&>(later).values;
    std::vector<ReportDelta> deltas;
    for (const auto& channel : channels_) {
      const Key key{channel.group, channel.name};
      const auto a = from.find(key);
      const auto b = to.find(key);
      if (a == from.end() || b == to.end()) continue;
      const auto unit = channel.unit.empty() ? state_->script.counterUnit : channel.unit;
      deltas.push_back({channel.group, channel.name, unit, b->second - a->second});
    }
    return deltas;
  }

 private:
  std::shared_ptr<State> state_;
  std::vector<ReportChannel> channels_;
};

class ScriptedEnergyReports::Library : public EnergyReportLibrary {
 public:
  explicit Library(std::shared_ptr<State> state) : state_(std::move(state)) {}

  std::optional<std::vector<ReportChannel>> allChannels() override { return state_->script.channels; }

  std::unique_ptr<ReportSubscription> subscribe(const std::vector<ReportChannel>& request) override {
    state_->lastRequest = request;
    if (state_->script.refuseSubscription) return nullptr;
    return std::make_unique<Subscription>(state_, request);
  }

 private:
  std::shared_ptr<State> state_;
};

std::unique_ptr<EnergyReportLibrary> ScriptedEnergyReports::open() {
  ++state_->opens;
  if (state_->script.libraryMissing) return nullptr;
  return std::make_unique<Library>(state_);
}

}  // namespace wattline::testing
