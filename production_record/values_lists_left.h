// The rows each values list of the record has left: its rows that no module was given, from
// it or from any other list holding the same row.
#pragma once

#include "record_connection.h"
#include "record_summary.h"

#include <QList>

#include <optional>
#include <variant>

namespace production_record {

// Every list of a record of `layout`, appended to `lists`; why the record cannot be read.
std::optional<QString> CountListsLeft(RecordConnection& connection, int layout,
                                      QList<ValuesListLeft>& lists);

// Every list of the record, for `record --lists`.
std::variant<QList<ValuesListLeft>, QString> ListValuesLeft(RecordConnection& connection);

} // namespace production_record
