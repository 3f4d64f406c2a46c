// SPDX-License-Identifier: GPL-3.0-or-later

#include "history/history_schema.h"

namespace wattline {

const std::vector<const char*> kHistoryUpgrades = {
    // 0 → 1: one row per second.
    "CREATE TABLE IF NOT EXISTS samples (\n"
    "  second INTEGER PRIMARY KEY, observed REAL NOT NULL, watts REAL,\n"
    "  cpu REAL, gpu REAL, display REAL, input REAL, battery REAL,\n"
    "  external INTEGER NOT NULL, flow TEXT NOT NULL, estimated INTEGER NOT NULL,\n"
    "  source TEXT NOT NULL, sensor_time REAL, session TEXT NOT NULL,\n"
    "  energy_wh REAL NOT NULL, duration REAL NOT NULL);",
    // 1 → 2: the apps' energy per minute. Each app's key and name are kept once; the minutes on battery
    // and the seconds measured once per minute. Each hour before the newest is also kept summed, by
    // battery or adapter, for the long rankings; an hour without a ledger_hours row is read by minute.
    "CREATE TABLE IF NOT EXISTS apps (id INTEGER PRIMARY KEY, key TEXT NOT NULL UNIQUE, name TEXT NOT "
    "NULL);\n"
    "CREATE TABLE IF NOT EXISTS ledger_minutes (\n"
    "  minute INTEGER PRIMARY KEY, seconds REAL NOT NULL, on_battery INTEGER NOT NULL);\n"
    "CREATE TABLE IF NOT EXISTS app_minutes (\n"
    "  minute INTEGER NOT NULL, app INTEGER NOT NULL, joules REAL NOT NULL, cpu_seconds REAL,\n"
    "  PRIMARY KEY (minute, app)) WITHOUT ROWID;\n"
    "CREATE TABLE IF NOT EXISTS ledger_hours (\n"
    "  hour INTEGER NOT NULL, on_battery INTEGER NOT NULL, seconds REAL NOT NULL,\n"
    "  PRIMARY KEY (hour, on_battery)) WITHOUT ROWID;\n"
    "CREATE TABLE IF NOT EXISTS app_hours (\n"
    "  hour INTEGER NOT NULL, on_battery INTEGER NOT NULL, app INTEGER NOT NULL, joules REAL NOT NULL,\n"
    "  cpu_seconds REAL, PRIMARY KEY (hour, on_battery, app)) WITHOUT ROWID;",
    // 2 → 3: each whole bucket of the week's overview summed, so that the week is read from a few hundred
    // rows rather than from every second; a bucket without a row here is read from its seconds. The sums
    // are made from the rows already there on the first write after the upgrade. Each app keeps the last
    // minute that names it, so that apps gone from the week are found without reading every minute.
    "CREATE TABLE IF NOT EXISTS sample_buckets (\n"
    "  bucket INTEGER PRIMARY KEY, minimum REAL, maximum REAL, total REAL NOT NULL, valid INTEGER NOT NULL,\n"
    "  rows INTEGER NOT NULL, energy_wh REAL NOT NULL, duration REAL NOT NULL);\n"
    "ALTER TABLE apps ADD COLUMN last_minute INTEGER NOT NULL DEFAULT 0;\n"
    "UPDATE apps SET last_minute = m.last\n"
    "  FROM (SELECT app, MAX(minute) AS last FROM app_minutes GROUP BY app) AS m WHERE m.app = apps.id;",
};

int historySchemaVersion() {
  return static_cast<int>(kHistoryUpgrades.size());
}

const std::vector<std::string> kHistorySampleColumns = {
    "second",   "observed", "watts",     "cpu",    "gpu",         "display", "input",     "battery",
    "external", "flow",     "estimated", "source", "sensor_time", "session", "energy_wh", "duration"};

HistorySchemaVerdict judgeHistorySchema(const HistorySchemaFacts& facts) {
  const bool marked = facts.applicationId == kHistoryApplicationId;
  if (!marked && facts.applicationId != 0) return HistorySchemaVerdict::foreign;
  if (facts.schemaObjects == 0 && facts.userVersion == 0) return HistorySchemaVerdict::create;
  const bool ourTable = facts.sampleColumns == kHistorySampleColumns;
  if (facts.userVersion > historySchemaVersion() && (marked || ourTable)) return HistorySchemaVerdict::newer;
  if (ourTable && facts.userVersion >= 1 && (marked || facts.userVersion == 1))
    return HistorySchemaVerdict::upgrade;
  return HistorySchemaVerdict::foreign;
}

}  // namespace wattline
