// What the record holds, in the order it was recorded, narrowed by a filter.
#pragma once

#include "record_filter.h"
#include "record_row.h"

#include <QList>

#include <variant>

namespace production_record {

std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter);

} // namespace production_record
