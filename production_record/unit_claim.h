// Unit numbers and values rows, each given to one module only: a module found in the record
// by its device address keeps what it has, a new one takes the next, inside one transaction
// that every bench on the record waits for in turn.
#pragma once

#include "record_connection.h"

#include <QList>

#include <optional>
#include <variant>

namespace production_record {

struct ClaimRequest {
    QString deviceAddress;
    QString bench;
    bool wantsUnit = false;
    // The values list by its file name, and how many rows it holds; empty when none.
    QString valuesList;
    int valuesRows = 0;
};

struct UnitClaim {
    std::optional<int> unit;
    // Counted from 1, the first row after the header.
    std::optional<int> valuesRow;
};

struct ClaimRefusal {
    // True when every row of the values list is taken (a module fault, not the record's).
    bool valuesUsedUp = false;
    QString message;
};

using ClaimResult = std::variant<UnitClaim, ClaimRefusal>;

// The claims of several modules in one transaction, one result each in the same order; a
// list that is used up refuses its module alone, a database failure every one of them.
QList<ClaimResult> ClaimUnits(RecordConnection& connection, const QList<ClaimRequest>& requests);

} // namespace production_record
