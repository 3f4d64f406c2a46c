#include "platform/testing/scripted_smc.h"

namespace wattline::testing {

class ScriptedSmc::Transport : public SmcTransport {
 public:
  explicit Transport(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->openTransports; }
  ~Transport() override { --state_->openTransports; }

  int call(const SmcRecord& input, SmcRecord& output, std::size_t& outputSize) override {
    const std::string key = SmcCodec::unfold(SmcCodec::key(input)).value_or("");
    const auto command = SmcCodec::command(input);
    ++state_->calls[{key, command}];
    const auto& script = state_->script;
    if (script.transportFailures.contains(key)) return 0x2C0;
    output = input;
    if (script.shortReplies.contains(key)) outputSize = kSmcRecordSize - 1;
    const auto value = script.values.find(key);
    if (value == script.values.end()) {
      SmcCodec::setResult(output, 0x84);
      return 0;
    }
    if (command == SmcCodec::kGetKeyInfo) {
      SmcCodec::setDataSize(output, static_cast<std::uint32_t>(value->second.bytes.size()));
      SmcCodec::setDataType(output, SmcCodec::fold(value->second.type));
    } else if (script.readRefusals.contains(key)) {
      SmcCodec::setResult(output, 0x85);
    } else {
      SmcCodec::setBytes(output, value->second.bytes);
    }
    return 0;
  }

 private:
  std::shared_ptr<State> state_;
};

int ScriptedSmc::calls(const std::string& key, std::uint8_t command) const {
  const auto it = state_->calls.find({key, command});
  return it == state_->calls.end() ? 0 : it->second;
}

std::unique_ptr<SmcTransport> ScriptedSmc::open() {
  ++state_->opens;
  if (state_->script.refuseOpen) return nullptr;
  return std::make_unique<Transport>(state_);
}

}  // namespace wattline::testing
