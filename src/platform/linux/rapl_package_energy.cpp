#include "platform/linux/rapl_package_energy.h"

#include <dirent.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace wattline {

namespace {

std::optional<std::string> firstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  return line;
}

std::optional<std::uint64_t> unsignedValue(const std::string& path) {
  auto line = firstLine(path);
  if (!line || line->empty() || (*line)[0] < '0' || (*line)[0] > '9') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(line->c_str(), &end, 10);
  if (errno != 0 || (*end != '\0' && *end != '\n')) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::uint64_t> RaplPackageEnergy::consumedSinceLastRead() {
  std::string directory = sysfsRoot_ + "/class/powercap";
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return std::nullopt;
  std::map<std::string, std::uint64_t> current;
  std::uint64_t consumed = 0;
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    // "intel-rapl:0" is a package; "intel-rapl:0:0" and deeper are its parts, already counted in it.
    if (!name.starts_with("intel-rapl:")) continue;
    std::string domain = directory + "/" + std::string(name);
    auto label = firstLine(domain + "/name");
    if (!label || !label->starts_with("package-")) continue;
    auto microjoules = unsignedValue(domain + "/energy_uj");
    if (!microjoules) continue;
    current[domain] = *microjoules;
    auto before = previous_.find(domain);
    if (before == previous_.end()) continue;
    if (*microjoules >= before->second) {
      consumed += (*microjoules - before->second) * 1000;
    } else if (auto range = unsignedValue(domain + "/max_energy_range_uj");
               range && *range >= before->second) {
      // The counter wrapped at max_energy_range_uj.
      consumed += (*range - before->second + *microjoules) * 1000;
    }
  }
  closedir(dir);
  if (current.empty()) return std::nullopt;
  previous_ = std::move(current);
  return consumed;
}

}  // namespace wattline
