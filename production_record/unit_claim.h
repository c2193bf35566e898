// Unit numbers and values rows, each given to one module only: a module found in the record
// by its device address keeps what it has, a new one takes the next, inside one transaction
// that every bench on the record waits for in turn.
#pragma once

#include "record_connection.h"
#include "record_row.h"

#include <QList>
#include <QStringList>

#include <optional>
#include <variant>

namespace production_record {

struct ClaimRequest {
    QString deviceAddress;
    QString bench;
    bool wantsUnit = false;
    // The values list by its file name, and each of its rows by its values, in file order;
    // empty when none. A row is known by its values, so that it is never given twice,
    // whatever file or line it comes in; the list by its name and its rows.
    QString valuesList;
    QStringList valuesKeys;
    // The module's row as it stands before its first write command, stored in the claim's
    // own transaction with its unit number, so that no unit is written without a trace.
    std::optional<RecordRow> started;
    // The folder the values list was read from, as the bench saw it: two lists of one name
    // are told apart by it.
    QString valuesFolder = {};
};

struct UnitClaim {
    std::optional<int> unit;
    // Counted from 1, the first row after the header.
    std::optional<int> valuesRow;
};

struct ClaimRefusal {
    // True when the values list has too few rows never given for the modules that need one
    // (a fault of the list, not of the record).
    bool valuesUsedUp = false;
    QString message;
};

using ClaimResult = std::variant<UnitClaim, ClaimRefusal>;

// The claims of several modules in one transaction, one result each in the same order. They
// all succeed or all fail: a values list too short for them all refuses every one of them,
// before any module is written.
QList<ClaimResult> ClaimUnits(RecordConnection& connection, const QList<ClaimRequest>& requests);

// How many of these values rows (each known by its values) were ever given; nothing when the
// record cannot be read.
std::optional<int> CountGiven(RecordConnection& connection, const QStringList& valuesKeys);

} // namespace production_record
