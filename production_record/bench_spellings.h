// A bench asked for in any case, as the record spells it: "Bench-2" finds the rows of
// "bench-2", through the record's index of benches.
#pragma once

#include "record_connection.h"
#include "record_filter.h"

#include <variant>

namespace production_record {

struct BenchUnknown {
    QString message;
    // True when the record holds no bench of that name (a question that cannot answer), false
    // when the record could not be read.
    bool usage = false;
};

// The filter with its bench's spellings in the record; a filter without a bench as it is.
std::variant<RecordFilter, BenchUnknown> BenchAsRecorded(RecordConnection& connection,
                                                         const RecordFilter& filter);

} // namespace production_record
