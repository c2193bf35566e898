// One row of the record: one module and one command, as a bench saw it.
#pragma once

#include "record_connection.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace production_record {

// Settings as [Module] keys and their texts.
using SettingsText = QMap<QString, QString>;

struct RecordRow {
    // Tells a row apart from every other, so that a row written twice (from the spool)
    // is stored once.
    QString rowId;
    QDateTime time;
    QString bench;
    QString command;
    QString port;
    QString device;
    QString deviceAddress;
    QString firmware;
    QString result;
    int exitStatus = 0;
    std::optional<SettingsText> before;
    std::optional<SettingsText> acknowledged;
    std::optional<SettingsText> verified;
    // The keys that failed or differ.
    QStringList problemKeys;
    std::optional<int> unit;
    // What the run told about the module: why it failed, or a note on a success.
    QString message;

    bool operator==(const RecordRow&) const = default;
};

// A row for now, with a fresh id.
RecordRow NewRow();

// Text as every database can keep it: PostgreSQL stores no NUL character, and one in a
// module's firmware or address would cut its statement short, so it is kept as "\x00", the
// way messages show it.
QString StorableText(const QString& text);

// A write row whose module was sent no write command (refused, or stopped before it): the
// values row its claim took is given back, since only a module written holds one.
bool SentNoWrite(const RecordRow& row);

// What InsertRow does with a row of the same id already there: brings it up to date, or
// leaves it (a row begun before its write never overwrites the row that completed it).
enum class ExistingRow { Update, Keep };

// Adds the row inside the caller's transaction.
std::optional<QString> InsertRow(RecordConnection& connection, const RecordRow& row,
                                 ExistingRow existing = ExistingRow::Update);

// Adds the rows in one transaction, bringing up to date those whose id is there already
// (a row begun before its module's write, or a row kept in the spool and stored before);
// why they could not be added (then none was), or nothing.
std::optional<QString> InsertRows(RecordConnection& connection, const QList<RecordRow>& rows);

struct RowStored {
    // Why the row is not in the record, or nothing.
    std::optional<QString> error;
    // The record refused the row itself (its data, or a statement that failed for this row
    // alone), not for its lock, its connection or its tables: trying it again will not help.
    bool refused = false;
};

// Stores the rows with `insert`, which adds a list of them in one transaction, so that a row
// the record refuses fails alone: after such a failure the rows are tried one by one. What
// became of each, in the order of the rows.
template <typename Row, typename Insert>
QList<RowStored> StoreEach(RecordConnection& connection, const QList<Row>& rows, Insert insert) {
    const std::optional<QString> together = insert(connection, rows);
    if (!together || rows.size() == 1 || !connection.refusedStatement())
        return QList<RowStored>(rows.size(), {together, together && connection.refusedData()});
    QList<std::optional<QString>> errors;
    QList<bool> dataFaults;
    for (const Row& row : rows) {
        errors << insert(connection, QList<Row>{row});
        dataFaults << connection.refusedData();
    }
    // A row that fails where others are stored is at fault itself; one that fails as every
    // other does (a table gone) waits for the record to be mended.
    const bool someStored = errors.contains(std::nullopt);
    QList<RowStored> each;
    for (qsizetype index = 0; index < rows.size(); ++index)
        each << RowStored{errors[index], errors[index] && (someStored || dataFaults[index])};
    return each;
}

// InsertRows through StoreEach.
QList<RowStored> StoreRows(RecordConnection& connection, const QList<RecordRow>& rows);

// The row as --json and the spool give it, and back; nothing when the object is no row.
QJsonObject RowJson(const RecordRow& row);
std::optional<RecordRow> RowFromJson(const QJsonObject& object);

// The settings a column holds (NULL gives nothing).
std::optional<SettingsText> StoredSettingsText(const QVariant& stored);

// "name=Unit-7;pin=1234", as `cordelo-cli record` prints settings; a "%", ";", "=" or
// control character inside a key or value is written "%3B" and so on, so that splitting at
// ";" and "=" and then percent-decoding gives the settings back.
QString SettingsLine(const std::optional<SettingsText>& settings);

} // namespace production_record
