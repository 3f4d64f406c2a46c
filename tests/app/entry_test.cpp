#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <string>

#include "app/command_line.h"

using namespace wattline;

namespace {

struct ProgramRun {
  int status;
  std::string output;
};

// Runs the built program with `arguments`, standard error joined to standard output.
ProgramRun runProgram(const std::string& arguments) {
  std::string command = std::string(WATTLINE_BINARY) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, {}};
  std::string output;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(CommandLine, WholeArgumentsFirstOccurrenceAndValues) {
  CommandLine line(
      {"--snapshot", "--history-directory", "/a", "--history-directory", "/b", "--render-preview"});
  EXPECT_TRUE(line.has("--snapshot"));  // index 0 counts too
  EXPECT_FALSE(line.has("--snap"));
  EXPECT_EQ(line.value("--history-directory"), "/a");
  EXPECT_EQ(line.value("--render-preview"), std::nullopt);  // last argument: no value
  // The second "--history-directory" is a known option; its "/b" is not a value of the first.
  EXPECT_EQ(line.unknown(), (std::vector<std::string>{"/b"}));
  EXPECT_TRUE(CommandLine({"wattline", "--ui-probe", "--show"}).unknown().empty());
  EXPECT_EQ(CommandLine({"wattline", "--shw", "-x"}).unknown(), (std::vector<std::string>{"--shw", "-x"}));
}

TEST(Entry, HelpVersionAndRefusals) {
  ProgramRun help = runProgram("--help");
  EXPECT_EQ(help.status, 0);
  for (const auto& option : knownOptions())
    EXPECT_NE(help.output.find(option.name), std::string::npos) << option.name;
  ProgramRun version = runProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.output.find("wattline "), std::string::npos);
  ProgramRun unknown = runProgram("--definitely-not-an-option");
  EXPECT_NE(unknown.status, 0);
  EXPECT_NE(unknown.output.find("--definitely-not-an-option"), std::string::npos);
}
