#include "platform/linux/powercap_energy_reports.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/linux/hwmon.h"
#include "platform/linux/rapl.h"
#include "platform/linux/sysfs_file.h"

namespace wattline {

namespace {

constexpr const char* kGroup = "Energy Model";
constexpr const char* kUnit = "uJ";

// One reading behind a channel: a cumulative energy counter in µJ, or a driver's
// average power in µW over its own recent window.
struct Source {
  std::string file;
  bool averagePower = false;
  std::optional<std::int64_t> range;  // where a counter wraps around
  std::optional<HwmonDevice> device;  // a device that may be suspended
};

struct Channel {
  std::string name;
  std::vector<Source> sources;
};

struct SourceReading {
  std::optional<std::int64_t> value;
  bool asleep = false;
};

class SourceSamples : public ReportSamples {
 public:
  SourceSamples(std::vector<SourceReading> readings, double uptime)
      : readings(std::move(readings)), uptime(uptime) {}
  std::vector<SourceReading> readings;  // one per source, channel by channel
  double uptime;
};

SourceReading read(const Source& source) {
  // Reading a suspended device's sensors would wake it; it draws next to nothing meanwhile.
  if (source.device && source.device->asleep()) return {std::nullopt, true};
  auto value = sysfs::integer(source.file);
  if (value && *value < 0) value.reset();
  return {value, false};
}

// What one source adds to its channel from `earlier` to `later`, in µJ; nothing when it cannot be told.
std::optional<std::int64_t> energyBetween(const Source& source, const SourceReading& earlier,
                                          const SourceReading& later, double seconds) {
  // A device asleep at either end of the interval was not read there, and drew next to nothing.
  if (earlier.asleep || later.asleep) return 0;
  if (source.averagePower) {
    if (!later.value || !(seconds > 0)) return std::nullopt;
    const double microjoules = static_cast<double>(*later.value) * seconds;
    if (!(microjoules < 9e18)) return std::nullopt;
    return std::llround(microjoules);
  }
  if (!earlier.value || !later.value) return std::nullopt;
  return energyDelta(*earlier.value, *later.value, source.range);
}

class PowercapSubscription : public ReportSubscription {
 public:
  PowercapSubscription(std::vector<Channel> channels, const Clock& clock)
      : channels_(std::move(channels)), clock_(clock) {}

  std::shared_ptr<const ReportSamples> sample() override {
    std::vector<SourceReading> readings;
    bool any = false;
    for (const auto& channel : channels_) {
      for (const auto& source : channel.sources) {
        readings.push_back(read(source));
        any = any || readings.back().value || readings.back().asleep;
      }
    }
    if (!any) return nullptr;
    return std::make_shared<SourceSamples>(std::move(readings), clock_.uptime());
  }

  std::optional<std::vector<ReportDelta>> delta(const ReportSamples& earlier,
                                                const ReportSamples& later) override {
    const auto* from = dynamic_cast<const SourceSamples*>(&earlier);
    const auto* to = dynamic_cast<const SourceSamples*>(&later);
    if (!from || !to || from->readings.size() != to->readings.size()) return std::nullopt;
    const double seconds = to->uptime - from->uptime;
    std::vector<ReportDelta> deltas;
    std::size_t index = 0;
    for (const auto& channel : channels_) {
      std::optional<std::int64_t> total = 0;
      for (const auto& source : channel.sources) {
        const auto energy = energyBetween(source, from->readings[index], to->readings[index], seconds);
        ++index;
        std::int64_t sum = 0;
        total = total && energy && !__builtin_add_overflow(*total, *energy, &sum) ? std::optional(sum)
                                                                                  : std::nullopt;
      }
      // A source whose use cannot be told leaves its channel out rather than showing less.
      if (total) deltas.push_back({kGroup, channel.name, kUnit, *total});
    }
    return deltas;
  }

 private:
  std::vector<Channel> channels_;
  const Clock& clock_;
};

bool exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// A graphics driver's own reading: its energy counter, or else its average power.
std::optional<Source> graphicsSource(const HwmonDevice& device) {
  if (device.name != "amdgpu" && device.name != "i915" && device.name != "xe") return std::nullopt;
  Source source{device.directory + "/energy1_input", false, std::nullopt, device};
  if (!exists(source.file)) source = {device.directory + "/power1_average", true, std::nullopt, device};
  if (!exists(source.file)) return std::nullopt;
  // A suspended device is taken on trust: reading it to check would wake it.
  if (!device.asleep() && !read(source).value) return std::nullopt;
  return source;
}

class PowercapLibrary : public EnergyReportLibrary {
 public:
  PowercapLibrary(std::string sysfsRoot, std::vector<RaplDomain> domains, const Clock& clock)
      : root_(std::move(sysfsRoot)), domains_(std::move(domains)), clock_(clock) {}

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
    return std::make_unique<PowercapSubscription>(std::move(subscribed), clock_);
  }

 private:
  // The packages for the processor; the integrated graphics' domain and every
  // graphics driver's own reading for the graphics.
  std::vector<Channel> readableChannels() const {
    Channel cpu{"CPU Energy", {}};
    Channel gpu{"GPU Energy", {}};
    for (const auto& domain : domains_) {
      if (!domain.energy()) continue;
      const Source source{domain.directory + "/energy_uj", false, domain.maxEnergyRange, std::nullopt};
      if (domain.isPackage()) cpu.sources.push_back(source);
      if (domain.isGraphics() && gpu.sources.empty()) gpu.sources.push_back(source);
    }
    for (const auto& device : hwmonDevices(root_)) {
      if (auto source = graphicsSource(device)) gpu.sources.push_back(std::move(*source));
    }
    std::vector<Channel> channels;
    if (!cpu.sources.empty()) channels.push_back(std::move(cpu));
    if (!gpu.sources.empty()) channels.push_back(std::move(gpu));
    return channels;
  }

  std::string root_;
  std::vector<RaplDomain> domains_;
  const Clock& clock_;
};

}  // namespace

std::unique_ptr<EnergyReportLibrary> PowercapEnergyReports::open() {
  auto domains = raplDomains(root_);
  if (domains.empty()) {
    const auto devices = hwmonDevices(root_);
    if (std::none_of(devices.begin(), devices.end(), [](const auto& d) { return graphicsSource(d); }))
      return nullptr;
  }
  return std::make_unique<PowercapLibrary>(root_, std::move(domains), clock_);
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
