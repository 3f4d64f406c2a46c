#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/power_sources.h"
#include "platform/registry.h"

namespace wattline::testing {

// A registry holding scripted services by class name.
class ScriptedRegistry : public Registry {
 public:
  struct Service {
    PropertyCopy properties;
    PropertyTable singleProperties;
    std::optional<std::uint64_t> entryID;
  };

  std::map<std::string, Service, std::less<>> services;
  int lookups = 0;
  int released = 0;

  std::unique_ptr<RegistryEntry> matchingService(std::string_view className) override;
};

class ScriptedPowerSources : public PowerSources {
 public:
  std::optional<std::string> type;
  std::optional<std::string> providingSourceType() override { return type; }
};

}  // namespace wattline::testing
