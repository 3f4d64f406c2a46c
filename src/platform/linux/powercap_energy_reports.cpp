#include "platform/linux/powercap_energy_reports.h"

#include <sys/utsname.h>

#include <charconv>

#include "platform/linux/rapl.h"

namespace wattline {

namespace {

constexpr const char* kGroup = "Energy Model";
constexpr const char* kUnit = "uJ";

struct Channel {
  std::string name;
  std::vector<RaplDomain> domains;
};

class CounterSamples : public ReportSamples {
 public:
  explicit CounterSamples(std::vector<std::int64_t> counters) : counters(std::move(counters)) {}
  std::vector<std::int64_t> counters;  // one per domain, channel by channel
};

class PowercapSubscription : public ReportSubscription {
 public:
  explicit PowercapSubscription(std::vector<Channel> channels) : channels_(std::move(channels)) {}

  std::shared_ptr<const ReportSamples> sample() override {
    std::vector<std::int64_t> counters;
    for (const auto& channel : channels_) {
      for (const auto& domain : channel.domains) {
        const auto energy = domain.energy();
        if (!energy) return nullptr;
        counters.push_back(*energy);
      }
    }
    return std::make_shared<CounterSamples>(std::move(counters));
  }

  std::optional<std::vector<ReportDelta>> delta(const ReportSamples& earlier,
                                                const ReportSamples& later) override {
    const auto* from = dynamic_cast<const CounterSamples*>(&earlier);
    const auto* to = dynamic_cast<const CounterSamples*>(&later);
    if (!from || !to || from->counters.size() != to->counters.size()) return std::nullopt;
    std::vector<ReportDelta> deltas;
    std::size_t index = 0;
    for (const auto& channel : channels_) {
      std::optional<std::int64_t> total = 0;
      for (const auto& domain : channel.domains) {
        const auto delta = energyDelta(from->counters[index], to->counters[index], domain.maxEnergyRange);
        ++index;
        std::int64_t sum = 0;
        total = total && delta && !__builtin_add_overflow(*total, *delta, &sum) ? std::optional(sum)
                                                                                : std::nullopt;
      }
      // A counter that went backwards without a known range leaves its channel out.
      if (total) deltas.push_back({kGroup, channel.name, kUnit, *total});
    }
    return deltas;
  }

 private:
  std::vector<Channel> channels_;
};

class PowercapLibrary : public EnergyReportLibrary {
 public:
  explicit PowercapLibrary(std::vector<RaplDomain> domains) : domains_(std::move(domains)) {}

  std::optional<std::vector<ReportChannel>> allChannels() override {
    std::vector<ReportChannel> channels;
    for (const auto& channel : readableChannels())
      channels.push_back({kGroup, {}, channel.name, kUnit, {}, {}, {}, {}});
    return channels;
  }

  std::unique_ptr<ReportSubscription> subscribe(const std::vector<ReportChannel>& request) override {
    std::vector<Channel> subscribed;
    for (auto& channel : readableChannels()) {
      for (const auto& wanted : request) {
        if (wanted.group == kGroup && wanted.name == channel.name) {
          subscribed.push_back(std::move(channel));
          break;
        }
      }
    }
    if (subscribed.empty()) return nullptr;
    return std::make_unique<PowercapSubscription>(std::move(subscribed));
  }

 private:
  std::vector<Channel> readableChannels() const {
    Channel cpu{"CPU Energy", {}};
    Channel gpu{"GPU Energy", {}};
    for (const auto& domain : domains_) {
      if (!domain.energy()) continue;
      if (domain.isPackage()) cpu.domains.push_back(domain);
      if (domain.isGraphics() && gpu.domains.empty()) gpu.domains.push_back(domain);
    }
    std::vector<Channel> channels;
    if (!cpu.domains.empty()) channels.push_back(std::move(cpu));
    if (!gpu.domains.empty()) channels.push_back(std::move(gpu));
    return channels;
  }

  std::vector<RaplDomain> domains_;
};

}  // namespace

std::unique_ptr<EnergyReportLibrary> PowercapEnergyReports::open() {
  auto domains = raplDomains(root_);
  if (domains.empty()) return nullptr;
  return std::make_unique<PowercapLibrary>(std::move(domains));
}

OperatingSystemVersion PowercapEnergyReports::operatingSystemVersion() const {
  utsname name{};
  if (::uname(&name) != 0) return {};
  return parseKernelRelease(name.release);
}

OperatingSystemVersion parseKernelRelease(std::string_view release) {
  int parts[3] = {0, 0, 0};
  const char* p = release.data();
  const char* end = release.data() + release.size();
  for (int i = 0; i < 3 && p < end; ++i) {
    const auto [next, error] = std::from_chars(p, end, parts[i]);
    if (error != std::errc()) break;
    p = next;
    if (p == end || *p != '.') break;
    ++p;
  }
  return {parts[0], parts[1], parts[2]};
}

}  // namespace wattline
