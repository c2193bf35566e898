// The record's tables, made and brought up to date by the program itself; the version
// table says which layout a database holds.
#pragma once

#include "record_connection.h"

#include <optional>

namespace production_record {

// The layout this program writes.
inline constexpr int kSchemaVersion = 2;

// Creates the tables in an empty database, upgrades an older layout, or refuses a newer
// one without changing anything. Safe when several benches start at once.
std::optional<QString> PrepareSchema(RecordConnection& connection);

// For reading: the database holds a record of a layout this program can read.
std::optional<QString> CheckSchema(RecordConnection& connection);

} // namespace production_record
