// The record's tables, made and brought up to date by the program itself; the version
// table says which layout a database holds.
#pragma once

#include "record_connection.h"

#include <optional>
#include <variant>

namespace production_record {

// The layout this program writes.
inline constexpr int kSchemaVersion = 6;

// Creates the tables in an empty database, upgrades an older layout, or refuses a newer
// one without changing anything. Safe when several benches start at once.
std::optional<QString> PrepareSchema(RecordConnection& connection);

// For reading: the database holds a record of a layout this program can read.
std::optional<QString> CheckSchema(RecordConnection& connection);

// The same, giving the layout's version: a reader leaves an older record as it is, without
// what later layouts added (a row's message, the length of a values list).
std::variant<int, QString> ReadableLayout(RecordConnection& connection);

// The first layout that keeps a row's message and the length of each values list.
inline constexpr int kMessageLayout = 3;

// The first layout whose rows have their address key as a column (address_key).
inline constexpr int kAddressKeyLayout = 3;

// The first layout that knows a values list by its name and its rows.
inline constexpr int kValuesContentLayout = 5;

// The first layout that keeps each label printed or tried (the labels table).
inline constexpr int kLabelsLayout = 6;

} // namespace production_record
