// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wattline {

// "WTLN": marks a database as Wattline's history (PRAGMA application_id).
inline constexpr std::int32_t kHistoryApplicationId = 0x57544C4E;

// The statements that bring a database from the version that is their index to the next one; the last
// version is the one this program writes (PRAGMA user_version).
extern const std::vector<const char*> kHistoryUpgrades;
int historySchemaVersion();

// The columns of the samples table, in order, in every version this program knows.
extern const std::vector<std::string> kHistorySampleColumns;

// What a database file says about itself before anything is written to it.
struct HistorySchemaFacts {
  std::int32_t applicationId = 0;
  int userVersion = 0;
  int schemaObjects = 0;  // tables, indexes, views and triggers
  std::vector<std::string> sampleColumns;
};

enum class HistorySchemaVerdict {
  create,   // empty: the schema is made from scratch
  upgrade,  // ours, of this or an earlier version: the missing steps (if any) and the mark are applied
  foreign,  // another program's file: left as it is
  newer,    // ours, from a later version of this program: left as it is
};

// Our files are the ones marked with our id, and those of the releases before the mark: version 1 with
// exactly our samples table.
HistorySchemaVerdict judgeHistorySchema(const HistorySchemaFacts& facts);

}  // namespace wattline
