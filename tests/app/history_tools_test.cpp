// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.h"
#include "app/tool_modes.h"
#include "history/history_test_support.h"

namespace wattline {
namespace {

using namespace testing;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(std::vector<std::string> arguments, const std::filesystem::path& database) {
  arguments.insert(arguments.begin(), "wattline");
  const CommandLineOptions options = parseCommandLine(arguments);
  std::ostringstream out, err;
  const HistoryToolContext context{database, dateFromSeconds(kBase + 70.5), out, err};
  const int status = options.appEnergy ? printAppEnergy(options, context) : exportHistory(options, context);
  return {status, out.str(), err.str()};
}

// Three seconds (one without power) and one ledger minute; every tool reads the file and writes nothing.
TEST(HistoryTools, PrintAndExportWhatTheDatabaseHolds) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3");
  {
    HistoryStore store(url);
    for (std::int64_t s = 0; s < 3; ++s)
      write(store, makeRecord(kBase + s, s == 1 ? std::nullopt : std::optional(8.5)));
    store.recordLedger(
        {{kBase, 60, true, {{"desktop:a", "A, \"the\" app", 1800, 2}, {"", "", 360, std::nullopt}}}},
        dateFromSeconds(kBase + 61));
  }
  const std::string before = fileBytes(url);

  const Outcome energy = run({"--app-energy"}, url);
  ASSERT_EQ(energy.status, 0) << energy.err;
  const auto json = nlohmann::json::parse(energy.out);
  EXPECT_EQ(json["apps"][0]["app"], "desktop:a");
  EXPECT_DOUBLE_EQ(json["apps"][0]["wattHours"].get<double>(), 0.5);
  EXPECT_DOUBLE_EQ(json["apps"][0]["averageWatts"].get<double>(), 30);
  EXPECT_EQ(json["unbilled"]["name"], "未归属（空闲与内核）");
  EXPECT_EQ(
      nlohmann::json::parse(run({"--app-energy", "--on-battery", "--since", "30s"}, url).out)["apps"].size(),
      0u);

  const Outcome csv = run({"--export-history", "--since", "2m"}, url);
  EXPECT_EQ(csv.status, 0);
  std::istringstream lines(csv.out);
  std::string header, first, second;
  std::getline(lines, header), std::getline(lines, first), std::getline(lines, second);
  EXPECT_EQ(header.substr(0, 22), "second,observed,watts,");
  EXPECT_EQ(first.substr(0, 51), "2027-01-15T08:00:00Z,2027-01-15T08:00:00.500Z,8.5,,");
  EXPECT_EQ(second.substr(0, 48), "2027-01-15T08:00:01Z,2027-01-15T08:00:01.500Z,,,");  // no power, no CPU

  const Outcome apps = run({"--export-history", "--since", "2m", "--apps", "--format", "json"}, url);
  const auto rows = nlohmann::json::parse(apps.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["cpu_seconds"], nullptr);  // the unbilled row's key sorts first
  EXPECT_EQ(rows[1]["name"], "A, \"the\" app");
  EXPECT_EQ(rows[1]["minute"], "2027-01-15T08:00:00Z");
  EXPECT_NE(run({"--export-history", "--since", "2m", "--apps"}, url).out.find(",\"A, \"\"the\"\" app\","),
            std::string::npos);
  EXPECT_EQ(fileBytes(url), before);
}

TEST(HistoryTools, RefuseWithOneLineAndTheirStatus) {
  FixtureCopy directory("");
  const std::filesystem::path url = directory.path("history.sqlite3"), none = directory.path("none.sqlite3"),
                              foreign = directory.path("other.sqlite3");
  HistoryStore(url).prune(kBase);
  std::ofstream(foreign) << std::string(5000, 'g');
  const std::string duration = "is not a duration (such as 90m, 24h, 7d)\n";
  const struct {
    std::vector<std::string> arguments;
    std::filesystem::path database;
    int status;
    std::string message;  // after "wattline: "
  } cases[] = {
      {{"--app-energy", "--since", "90x"}, url, 2, "'90x' " + duration},
      {{"--export-history", "--since", "0d"}, url, 2, "'0d' " + duration},
      {{"--export-history"}, url, 2, "--export-history needs --since DURATION (such as 90m, 24h, 7d)\n"},
      {{"--export-history", "--since", "1h", "--format", "xml"},
       url,
       2,
       "unknown format 'xml' (csv or json)\n"},
      {{"--app-energy"}, none, 2, "no history database at " + none.string() + "\n"},
      {{"--export-history", "--since", "1h"},
       foreign,
       1,
       "历史库不是瓦迹的文件，未作改动: " + foreign.string() + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    const std::string before = fileBytes(c.database);
    const Outcome outcome = run(c.arguments, c.database);
    EXPECT_EQ(std::make_tuple(outcome.status, outcome.out, outcome.err),
              std::make_tuple(c.status, "", "wattline: " + c.message));
    EXPECT_EQ(fileBytes(c.database), before);
  }
}

}  // namespace
}  // namespace wattline
