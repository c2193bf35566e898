// What the record already gave a module, looked up without taking anything: whether it was
// written and passed before, its unit number and its row of a values list, by its address.
#pragma once

#include "record_connection.h"

#include <QStringList>

#include <optional>

namespace production_record {

struct KnownUnit {
    // A write of the module passed at least once, on any bench.
    bool passedBefore = false;
    std::optional<int> unit;
    // Counted from 1, the first row after the header, as in a claim.
    std::optional<int> valuesRow;
};

// The address in any spelling; `valuesKeys` is the run's list, each row by its values, in
// file order. Nothing when the record cannot be read.
std::optional<KnownUnit> LookUpUnit(RecordConnection& connection, const QString& deviceAddress,
                                    const QStringList& valuesKeys);

} // namespace production_record
