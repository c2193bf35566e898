// What the record holds, in the order it was recorded, narrowed by a filter: handed over row by
// row as the database gives them, so that a listing of any size takes the memory of a few rows.
#pragma once

#include "record_filter.h"
#include "record_row.h"

#include <QList>

#include <functional>
#include <optional>
#include <variant>

namespace production_record {

// Takes each row in turn; false ends the listing there.
using RowSink = std::function<bool(const RecordRow& row)>;

// Hands every row the filter leaves to `sink`, oldest first. Until the first row is handed
// over, a lock another session holds is waited for within the connection's wait limit. Why the
// record could not be read, or nothing.
std::optional<QString> EachRow(RecordConnection& connection, const RecordFilter& filter,
                               const RowSink& sink);

// The same rows in one list, for a record small enough to hold.
std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter);

} // namespace production_record
