// The record's label rows: one per label printed or tried for a unit, reprints too.
#pragma once

#include "record_connection.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace production_record {

struct LabelRow {
    // The unit's address key (AddressKey), as the other tables know a module.
    QString addressKey;
    std::optional<int> unit;
    QDateTime time;
    QString bench;
    // The template as it was given (a file, or "default").
    QString labelTemplate;
    // The PDF file or the printer that took it; empty when it was not printed.
    QString where;
    bool printed = false;
    // Why it was not printed, in words.
    QString reason;
    bool reprint = false;

    bool operator==(const LabelRow&) const = default;
};

// Adds the row in a transaction of its own; why it could not, or nothing.
std::optional<QString> AddLabelRow(RecordConnection& connection, const LabelRow& row);

// The label rows of the unit with this address key, oldest first, from a record of `layout`
// (none before the layout that keeps them). Run inside the caller's read.
std::variant<QList<LabelRow>, QString> LabelRowsOf(RecordConnection& connection,
                                                   const QString& addressKey, int layout);

} // namespace production_record
