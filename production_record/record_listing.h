// What the record holds, in the order it was recorded, narrowed by time, module and result.
#pragma once

#include "record_row.h"

#include <QDateTime>
#include <QList>

#include <variant>

namespace production_record {

struct RecordFilter {
    // Rows recorded at or after this time; invalid for all.
    QDateTime since;
    // The module's own address, compared without regard to case; empty for all.
    QString deviceAddress;
    // A result name such as "ok" or "mismatch"; empty for all.
    QString result;
};

std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter);

} // namespace production_record
