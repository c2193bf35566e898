// One row of the record: one module and one command, as a bench saw it.
#pragma once

#include "record_connection.h"

#include <QDateTime>
#include <QJsonObject>
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

// Adds the row, or brings the row of its id up to date, inside the caller's transaction.
std::optional<QString> InsertRow(RecordConnection& connection, const RecordRow& row);

// Adds the rows in one transaction, bringing up to date those whose id is there already
// (a row begun before its module's write, or a row kept in the spool and stored before);
// why they could not be added (then none was), or nothing.
std::optional<QString> InsertRows(RecordConnection& connection, const QList<RecordRow>& rows);

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
