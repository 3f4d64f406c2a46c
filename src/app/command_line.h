#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wattline {

// The program's arguments as the entry reads them: options are whole
// arguments, anywhere in the list (index 0 included); an option with a value
// counts at its first occurrence and takes the argument right after it.
class CommandLine {
 public:
  explicit CommandLine(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}
  bool has(std::string_view option) const;
  // The argument after the first occurrence of `option`; absent when it is the last one.
  std::optional<std::string> value(std::string_view option) const;
  // Arguments that are neither a known option nor the value of one (index 0 excepted).
  std::vector<std::string> unknown() const;
  const std::vector<std::string>& arguments() const { return arguments_; }

 private:
  std::vector<std::string> arguments_;
};

struct OptionHelp {
  std::string_view name;
  std::string_view value;  // empty for a flag
  std::string_view text;
  bool available;
};

// Every option the program knows, in the order the help lists them.
const std::vector<OptionHelp>& knownOptions();
std::string helpText(std::string_view version);

}  // namespace wattline
