#include "platform/testing/scripted_registry.h"

namespace wattline::testing {

namespace {

class Entry : public RegistryEntry {
 public:
  Entry(ScriptedRegistry::Service service, int& released)
      : service_(std::move(service)), released_(released) {}
  ~Entry() override { ++released_; }
  PropertyCopy copyProperties() override { return service_.properties; }
  std::optional<PropertyValue> property(std::string_view key) override {
    const auto it = service_.singleProperties.find(key);
    if (it == service_.singleProperties.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::uint64_t> entryID() override { return service_.entryID; }

 private:
  ScriptedRegistry::Service service_;
  int& released_;
};

}  // namespace

std::unique_ptr<RegistryEntry> ScriptedRegistry::matchingService(std::string_view className) {
  ++lookups;
  const auto it = services.find(className);
  if (it == services.end()) return nullptr;
  return std::make_unique<Entry>(it->second, released);
}

}  // namespace wattline::testing
