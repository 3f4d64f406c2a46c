// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tool_modes.h"

#include "base/json_coding.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "platform/startup_policy.h"
#include "readers/process_power_policy.h"

namespace wattline {

nlohmann::json startupStatus(const std::string& version, const LoginItemManaging& loginItem,
                             const UserDefaults& defaults) {
  return {{"version", version},
          {"status", rawValue(loginItem.state())},
          {"showPanelOnLaunch", defaults.boolValue(StartupPolicy::showOnLaunchKey)}};
}

PowerSnapshot measureSnapshot(const std::function<PowerSnapshot(bool includeDetails)>& read, double seconds,
                              const std::function<void(double)>& sleep) {
  read(true);
  sleep(seconds);
  return read(true);
}

ProcessPowerSnapshot measureProcessPower(ProcessPowerReader& reader, double seconds,
                                         const std::function<void(double)>& sleep) {
  ProcessEnergyBatch first = reader.read();
  sleep(seconds);
  ProcessEnergyBatch second = reader.read();
  return ProcessPowerPolicy::sample(&first, second);
}

namespace {

constexpr std::int64_t kDefaultRange = 86400;

// The range asked for, or the reason it cannot be used (told on `err`).
std::optional<std::int64_t> range(const CommandLineOptions& options, const HistoryToolContext& context,
                                  std::optional<std::int64_t> fallback) {
  if (!options.since) {
    if (!fallback)
      context.err << "wattline: --export-history needs --since DURATION (such as 90m, 24h, 7d)\n";
    return fallback;
  }
  const std::optional<std::int64_t> seconds = parseDuration(*options.since);
  if (!seconds)
    context.err << "wattline: '" << *options.since << "' is not a duration (such as 90m, 24h, 7d)\n";
  return seconds;
}

// The store over an existing database, opened for reading; absent with the reason told.
std::unique_ptr<HistoryStore> openDatabase(const HistoryToolContext& context) {
  if (!context.database || !std::filesystem::exists(*context.database)) {
    context.err << "wattline: no history database"
                << (context.database ? " at " + context.database->string() : std::string()) << "\n";
    return nullptr;
  }
  return std::make_unique<HistoryStore>(*context.database, HistoryStoreOptions{nullptr, {}, true});
}

// Runs a read of the store; a failure is told on `err` and gives 1.
int reading(const HistoryToolContext& context, const std::function<void()>& work) {
  try {
    work();
    return 0;
  } catch (const std::exception& error) {
    context.err << "wattline: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace

int printAppEnergy(const CommandLineOptions& options, const HistoryToolContext& context) {
  const std::optional<std::int64_t> seconds = range(options, context, kDefaultRange);
  if (!seconds) return 2;
  const std::unique_ptr<HistoryStore> store = openDatabase(context);
  if (!store) return 2;
  const std::int64_t through = unixSecond(context.now);
  const std::int64_t from = through - *seconds;
  return reading(context, [&] {
    const AppEnergyRanking ranking = store->appRanking(from, through, options.onBattery, context.now);
    context.out << prettyJson(appEnergyJson(ranking, from, through, options.onBattery)) << std::endl;
  });
}

int exportHistory(const CommandLineOptions& options, const HistoryToolContext& context) {
  const std::optional<std::int64_t> seconds = range(options, context, std::nullopt);
  if (!seconds) return 2;
  const std::optional<ExportFormat> format = parseExportFormat(options.format.value_or("csv"));
  if (!format) {
    context.err << "wattline: unknown format '" << *options.format << "' (csv or json)\n";
    return 2;
  }
  const std::unique_ptr<HistoryStore> store = openDatabase(context);
  if (!store) return 2;
  const HistoryExport kind = options.apps ? HistoryExport::apps : HistoryExport::samples;
  const std::int64_t through = unixSecond(context.now);
  return reading(context, [&] {
    // The first row read proves the file readable before anything is written out.
    std::optional<HistoryExportWriter> writer;
    store->exportRows(kind, through - *seconds, through, [&](const std::vector<HistoryCell>& cells) {
      if (!writer) writer.emplace(context.out, *format, HistoryStore::exportColumns(kind));
      writer->row(cells);
    });
    if (!writer) writer.emplace(context.out, *format, HistoryStore::exportColumns(kind));
    writer->finish();
  });
}

}  // namespace wattline
