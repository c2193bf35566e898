// Which rows of the record are a unit's writes: a module is a unit once it was sent a write
// command. The others (refused, no module, bad firmware, the record unusable, stopped
// before) are told by their result.
#pragma once

#include "record_summary.h"

#include <QString>

namespace production_record {

// The condition, over module_records of `layout`, of a write row whose module was sent a
// write command.
QString WriteSentSql(int layout);

// A module (by its address key, or the row itself when it told no address), as SQL.
QString UnitKeySql(int layout);

// The kind of a write row that sent nothing, by its result, counted once more.
void CountNotWritten(NotWritten& counts, const QString& result, int modules);

} // namespace production_record
