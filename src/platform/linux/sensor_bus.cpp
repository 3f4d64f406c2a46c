#include "platform/linux/sensor_bus.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/linux/sysfs_file.h"
#include "readers/component_power_policy.h"
#include "readers/sensor_decoder.h"

namespace wattline {

namespace {

// Controller result codes for a key it does not have and for a value it cannot give now.
constexpr std::uint8_t kKeyNotFound = 0x84;
constexpr std::uint8_t kNoValue = 0x85;
// The transport failure returned when a sensor found at opening has vanished.
constexpr int kDeviceGone = -1;

struct Answer {
  std::optional<SensorValue> value;
  bool gone = false;
};

bool isFanInput(std::string_view name) {
  if (!name.starts_with("fan") || !name.ends_with("_input")) return false;
  const auto digits = name.substr(3, name.size() - 3 - 6);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

// A single-precision value; nothing for a number a single cannot hold.
std::optional<SensorValue> flt(double number) {
  if (!std::isfinite(number) || std::abs(number) > std::numeric_limits<float>::max()) return std::nullopt;
  const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(number));
  return SensorValue{"flt ",
                     {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                      static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}};
}

SensorValue integer16(const char* type, std::uint16_t raw) {
  return {type, {static_cast<std::uint8_t>(raw), static_cast<std::uint8_t>(raw >> 8)}};
}

class SensorBusTransport : public SmcTransport {
 public:
  SensorBusTransport(SensorBusSources sources, std::shared_ptr<PowerSupplyScanner> supplies,
                     const Clock& clock)
      : sources_(std::move(sources)), supplies_(std::move(supplies)), clock_(clock) {}

  int call(const SmcRecord& input, SmcRecord& output, std::size_t& outputSize) override {
    output = input;
    outputSize = kSmcRecordSize;
    const auto key = SmcCodec::unfold(SmcCodec::key(input)).value_or("");
    switch (SmcCodec::command(input)) {
      case SmcCodec::kGetKeyInfo: {
        const auto type = typeOf(key);
        if (!type) {
          SmcCodec::setResult(output, kKeyNotFound);
          return 0;
        }
        SmcCodec::setDataSize(output, *type == "flt " ? 4 : 2);
        SmcCodec::setDataType(output, SmcCodec::fold(*type));
        SmcCodec::setResult(output, 0);
        return 0;
      }
      case SmcCodec::kReadKey: {
        const Answer answer = valueOf(key);
        if (answer.gone) return kDeviceGone;
        if (!answer.value || answer.value->bytes.size() != SmcCodec::dataSize(input)) {
          SmcCodec::setResult(output, kNoValue);
          return 0;
        }
        SmcCodec::setBytes(output, answer.value->bytes);
        SmcCodec::setResult(output, 0);
        return 0;
      }
      default:
        SmcCodec::setResult(output, kKeyNotFound);
        return 0;
    }
  }

 private:
  std::optional<std::string> typeOf(std::string_view key) const {
    if (key == "F0Ac" && !sources_.fans.empty()) return "flt ";
    if (key == "F1Ac" && sources_.fans.size() > 1) return "flt ";
    if (key == "PSTR" && sources_.platform) return "flt ";
    if (key == "B0AC" && sources_.battery) return "si16";
    if (key == "B0AV" && sources_.battery) return "ui16";
    return std::nullopt;
  }

  Answer valueOf(std::string_view key) {
    if (key == "F0Ac" || key == "F1Ac") {
      const std::size_t index = key == "F0Ac" ? 0 : 1;
      if (index >= sources_.fans.size() || sources_.fans[index].device.asleep()) return {};
      const auto read = sysfs::readText(sources_.fans[index].path);
      if (read.status == sysfs::ReadStatus::missing) return {std::nullopt, true};
      const auto rpm = read.status == sysfs::ReadStatus::ok ? sysfs::parseInteger(read.text) : std::nullopt;
      if (!rpm) return {};
      return {flt(static_cast<double>(*rpm))};
    }
    if (key == "PSTR") return {platformWatts()};
    if (key == "B0AC") {
      const auto mA = batteryMilliamps(supplies_->recent());
      if (!mA || *mA < std::numeric_limits<std::int16_t>::min() ||
          *mA > std::numeric_limits<std::int16_t>::max()) {
        return {};
      }
      return {integer16("si16", static_cast<std::uint16_t>(static_cast<std::int16_t>(*mA)))};
    }
    if (key == "B0AV") {
      const auto mV = batteryMillivolts(supplies_->recent());
      if (!mV || !(*mV >= 0) || *mV > std::numeric_limits<std::uint16_t>::max()) return {};
      return {integer16("ui16", static_cast<std::uint16_t>(std::lround(*mV)))};
    }
    return {};
  }

  // Whole-system power as the platform energy counted since the previous read of this key, under the
  // component counters' interval rules: a sleep in between (when a counter may also reset) or a too short
  // interval gives nothing, and the reading becomes the next one's start.
  std::optional<SensorValue> platformWatts() {
    if (!sources_.platform) return std::nullopt;
    const auto energy = sources_.platform->energy();
    const double uptime = clock_.uptime();
    const Date wall = clock_.now();
    const auto previous = std::exchange(previous_, std::nullopt);
    if (!energy) return std::nullopt;
    previous_ = Counter{*energy, uptime, wall};
    if (!previous) return std::nullopt;
    const double seconds = uptime - previous->uptime;
    if (!ComponentPowerPolicy::usableInterval(seconds, secondsBetween(previous->wall, wall)))
      return std::nullopt;
    const auto delta = energyDelta(previous->energy, *energy, sources_.platform->maxEnergyRange);
    const auto watts = delta ? ComponentPowerPolicy::watts(*delta, "uJ", seconds) : std::nullopt;
    return watts ? flt(*watts) : std::nullopt;
  }

  struct Counter {
    std::int64_t energy;
    double uptime;
    Date wall;
  };

  SensorBusSources sources_;
  std::shared_ptr<PowerSupplyScanner> supplies_;
  const Clock& clock_;
  std::optional<Counter> previous_;
};

}  // namespace

SensorBusSources findSensorBusSources(const std::string& sysfsRoot,
                                      const std::vector<SupplyEntry>& supplies) {
  SensorBusSources sources;
  for (const auto& device : hwmonDevices(sysfsRoot)) {
    if (device.asleep()) continue;
    for (const auto& file : sysfs::list(device.directory)) {
      if (sources.fans.size() < 2 && isFanInput(file))
        sources.fans.push_back({device.directory + "/" + file, device});
    }
  }
  for (auto& domain : raplDomains(sysfsRoot)) {
    if (domain.isPlatform() && domain.energy()) {
      sources.platform = std::move(domain);
      break;
    }
  }
  sources.battery = batteryMilliamps(supplies) || batteryMillivolts(supplies);
  return sources;
}

SensorBusService::SensorBusService(std::string sysfsRoot, std::shared_ptr<PowerSupplyScanner> supplies,
                                   const Clock& clock)
    : root_(std::move(sysfsRoot)), supplies_(std::move(supplies)), clock_(clock) {}

std::unique_ptr<SmcTransport> SensorBusService::open() {
  auto sources = findSensorBusSources(root_, supplies_->recent());
  if (sources.fans.empty() && !sources.platform && !sources.battery) return nullptr;
  return std::make_unique<SensorBusTransport>(std::move(sources), supplies_, clock_);
}

}  // namespace wattline
