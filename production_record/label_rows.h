// The record's label rows: one per label printed or tried for a unit, reprints too.
#pragma once

#include "record_connection.h"
#include "record_row.h"

#include <QDateTime>
#include <QJsonObject>
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

// Adds rows kept in the spool, in one transaction, each unless the record holds it already:
// the labels table has no id of a row's own, and a row may reach the record twice (a replay
// whose spool could not be rewritten after it, or a run that left its thread behind after
// spooling the row that thread was storing). A row the record refuses fails alone. What
// became of each, in the order of the rows.
QList<RowStored> StoreLabelRows(RecordConnection& connection, const QList<LabelRow>& rows);

// The row as the spool keeps it, and back; nothing when the object is no label row.
QJsonObject LabelRowJson(const LabelRow& row);
std::optional<LabelRow> LabelRowFromJson(const QJsonObject& object);

// The label rows of the unit with this address key, oldest first, from a record of `layout`
// (none before the layout that keeps them). Run inside the caller's read.
std::variant<QList<LabelRow>, QString> LabelRowsOf(RecordConnection& connection,
                                                   const QString& addressKey, int layout);

} // namespace production_record
