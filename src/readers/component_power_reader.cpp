#include "readers/component_power_reader.h"

#include "base/retry_timing.h"

#include <string>
#include <string_view>
#include <variant>

namespace wattline {

namespace {

// The library's channel format for the energy-counter driver's channels.
constexpr std::int64_t kClpcUnitCode = 0x0300007600000000;
constexpr std::int64_t kClpcLegendFormat = 0x100020001;
// Energy channels of this operating-system major version and later are not trusted for the CPU.
constexpr int kLegacyCpuBefore = 27;

std::string trimmed(std::string_view text) {
  constexpr std::string_view space = " \t\n\r\v\f";
  const auto first = text.find_first_not_of(space);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(space);
  return std::string(text.substr(first, last - first + 1));
}

bool isEnergyModelChannel(const ReportChannel& channel) {
  const auto name = trimmed(channel.name);
  return trimmed(channel.group) == "Energy Model" && (name == "CPU Energy" || name == "GPU Energy");
}

}  // namespace

ComponentPowerReader::ComponentPowerReader(EnergyReports& reports, Registry& registry, const Clock& clock)
    : reports_(reports), registry_(registry), clock_(clock) {}

void ComponentPowerReader::reset() {
  previous_.reset();
  previousTime_.reset();
  previousWallTime_.reset();
  subscription_.reset();
  api_.reset();
}

void ComponentPowerReader::connect() {
  lastAttempt_ = clock_.now();
  reset();
  auto api = reports_.open();
  if (!api) return;
  const auto all = api->allChannels();
  if (!all) return;

  std::vector<ReportChannel> selected;
  for (const auto& channel : *all) {
    if (isEnergyModelChannel(channel)) selected.push_back(channel);
  }
  if (auto clpc = registry_.matchingService("AppleCLPC")) {
    const auto entryID = clpc->entryID();
    const auto bundleProperty = clpc->property("CFBundleIdentifier");
    const auto* bundle = bundleProperty ? std::get_if<std::string>(&bundleProperty->storage()) : nullptr;
    if (entryID && bundle) {
      for (const auto& [id, name] :
           ComponentPowerPolicy::clpcIDs(*bundle, reports_.operatingSystemVersion())) {
        ReportChannel channel;
        channel.driverID = *entryID;
        channel.driverName = "AppleCLPC";
        channel.group = "CLPC";
        channel.subGroup = "Energy Counters";
        channel.unitCode = kClpcUnitCode;
        channel.legend = ChannelLegend{id, kClpcLegendFormat, name};
        channel.name = name;
        selected.push_back(std::move(channel));
      }
    }
  }
  if (selected.empty()) return;

  auto subscription = api->subscribe(selected);
  if (!subscription) return;
  api_ = std::move(api);
  subscription_ = std::move(subscription);
}

ComponentPowerReading ComponentPowerReader::read() {
  if (!subscription_ && attemptDue(lastAttempt_, clock_.now(), kRetryInterval)) connect();
  if (!api_ || !subscription_) return {};

  auto current = subscription_->sample();
  if (!current) {
    reset();
    return {};
  }
  const Date wall = clock_.now();
  const double mono = clock_.uptime();

  ComponentPowerReading reading;
  if (previous_ && previousTime_ && previousWallTime_) {
    const double elapsed = mono - *previousTime_;
    const double wallElapsed = secondsBetween(*previousWallTime_, wall);
    if (ComponentPowerPolicy::usableInterval(elapsed, wallElapsed)) {
      if (const auto delta = subscription_->delta(*previous_, *current)) {
        std::vector<ComponentEnergy> energies;
        energies.reserve(delta->size());
        for (const auto& channel : *delta) {
          energies.push_back(
              {trimmed(channel.group), trimmed(channel.name), trimmed(channel.unit), channel.value});
        }
        const bool allowLegacyCPU = reports_.operatingSystemVersion().major < kLegacyCpuBefore;
        reading = ComponentPowerPolicy::decode(energies, elapsed, wall, allowLegacyCPU);
      }
    }
  }
  previous_ = std::move(current);
  previousTime_ = mono;
  previousWallTime_ = wall;
  return reading;
}

}  // namespace wattline
