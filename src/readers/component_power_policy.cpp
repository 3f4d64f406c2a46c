#include "readers/component_power_policy.h"

#include <cmath>

namespace wattline::ComponentPowerPolicy {

namespace {

struct ClpcCodes {
  std::string_view driver;
  std::uint32_t cpu;
  std::uint32_t gpu;
};

constexpr ClpcCodes kClpcCodes[] = {
    {"AppleT6000CLPCv3", 0x47479059, 0x4519BF1E}, {"AppleT6002CLPC", 0xB501816B, 0x9E2C3E8B},
    {"AppleT6020CLPC", 0xE301CD75, 0x8F34CC7A},   {"AppleT6022CLPC", 0x76F5FD21, 0x90624499},
    {"AppleT6030CLPC", 0xBE03A01A, 0x472D6C9C},   {"AppleT6031CLPC", 0xD81E0084, 0x1085F98B},
    {"AppleT6032CLPC", 0xF4A21308, 0x85E80513},   {"AppleT6041CLPC", 0x263CF1F0, 0x22E4CF59},
    {"AppleT6050CLPC", 0xD3AB60BB, 0x27CD4CE5},   {"AppleT6050dCLPC", 0x18B3010E, 0xEDECA11A},
    {"AppleT8103CLPCv3", 0x2CDD31F2, 0x21BECF42}, {"AppleT8112CLPC", 0xB5435137, 0x638D9D52},
    {"AppleT8122CLPC", 0x54B51C99, 0xCE2DD9DC},   {"AppleT8132CLPC", 0x4A854D94, 0x3B3E3B79},
    {"AppleT8140CLPC", 0x9BF54436, 0xEF70589C},   {"AppleT8142CLPC", 0x43708744, 0x6A010933},
    {"AppleT8152CLPC", 0x485D4BFC, 0x11784654},
};

constexpr std::string_view kDriverPrefix = "com.apple.driver.";
constexpr std::uint64_t kCpuChannelBase = 0x10'0000'0000;
constexpr std::uint64_t kGpuChannelBase = 0x19'0000'0000;

std::optional<double> divisor(std::string_view unit) {
  if (unit == "J") return 1.0;
  if (unit == "mJ") return 1e3;
  if (unit == "uJ" || unit == "\u00B5J" || unit == "\u03BCJ") return 1e6;
  if (unit == "nJ") return 1e9;
  return std::nullopt;
}

std::optional<double> power(const std::vector<ComponentEnergy>& energies, std::string_view name, bool legacy,
                            double seconds) {
  std::vector<std::string_view> groups = {"CLPC"};
  if (legacy) groups.push_back("Energy Model");
  for (const auto group : groups) {
    const ComponentEnergy* match = nullptr;
    int count = 0;
    for (const auto& energy : energies) {
      if (energy.group == group && energy.name == name) {
        match = &energy;
        ++count;
      }
    }
    if (count != 1) continue;
    if (const auto w = watts(match->value, match->unit, seconds)) return w;
  }
  return std::nullopt;
}

}  // namespace

bool usableInterval(double elapsed, double wallElapsed) {
  return elapsed >= kMinimumInterval && elapsed <= kMaximumInterval &&
         std::abs(wallElapsed - elapsed) < kClockAgreement;
}

std::optional<double> watts(std::int64_t energy, std::string_view unit, double seconds) {
  if (energy < 0 || !std::isfinite(seconds) || seconds < kMinimumInterval || seconds > kMaximumInterval) {
    return std::nullopt;
  }
  const auto d = divisor(unit);
  if (!d) return std::nullopt;
  const double result = static_cast<double>(energy) / *d / seconds;
  if (!std::isfinite(result) || result > kMaximumWatts) return std::nullopt;
  return result;
}

ComponentPowerReading decode(const std::vector<ComponentEnergy>& energies, double seconds, Date at,
                             bool allowLegacyCPU) {
  ComponentPowerReading reading;
  reading.cpuWatts = power(energies, "CPU Energy", allowLegacyCPU, seconds);
  reading.gpuWatts = power(energies, "GPU Energy", true, seconds);
  if (reading.cpuWatts || reading.gpuWatts) {
    reading.sampledAt = at;
    reading.duration = seconds;
  }
  return reading;
}

std::vector<std::pair<std::uint64_t, std::string>> clpcIDs(std::string_view bundle,
                                                           OperatingSystemVersion version) {
  if (version.major != 27 || version.minor != 0 || (version.patch != 0 && version.patch != 1)) return {};
  if (!bundle.starts_with(kDriverPrefix)) return {};
  const auto driver = bundle.substr(kDriverPrefix.size());
  for (const auto& codes : kClpcCodes) {
    if (codes.driver == driver) {
      return {{kCpuChannelBase | codes.cpu, "CPU Energy"}, {kGpuChannelBase | codes.gpu, "GPU Energy"}};
    }
  }
  return {};
}

}  // namespace wattline::ComponentPowerPolicy
