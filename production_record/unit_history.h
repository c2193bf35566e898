// One unit found by what a scanner or a person gives for it (its device address in any
// spelling, or its unit number), with everything the record knows of it.
#pragma once

#include "label_rows.h"
#include "record_connection.h"
#include "record_row.h"

#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace production_record {

struct UnitHistory {
    std::optional<int> unit;
    // The name its latest write left it (before overlaid with what the module acknowledged).
    QString name;
    // The module's device address as its latest row gave it.
    QString deviceAddress;
    // Every row of the module (bench, time, command, result, message), oldest first.
    QList<RecordRow> rows;
    // Its labels printed or tried, oldest first.
    QList<LabelRow> labels;
};

// What a code names: a device address ("0012 6f 3a 9b01", "00:12:6F:3A:9B:01",
// "00126f3a9b01") or a unit number ("7", "unit 7", "Unit-7").
struct UnitCode {
    std::optional<int> unit;
    // The address key, when the code is no unit number.
    QString addressKey;
};
UnitCode ParseUnitCode(const QString& code);

// The unit's history; nothing when the record knows no such unit; or why the record cannot
// be read.
using FoundUnit = std::variant<std::optional<UnitHistory>, QString>;
FoundUnit FindUnit(RecordConnection& connection, const QString& code);

// The unit's latest passing write row, which its label is made from; nothing when it never
// passed a write.
std::optional<RecordRow> LatestPassingWrite(const UnitHistory& history);

// What its write left the module holding: the settings it held before, overlaid with those it
// acknowledged.
SettingsText SettingsAfter(const RecordRow& row);

} // namespace production_record
