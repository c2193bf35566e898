// Placeholders that give each module of a run its own values: {com} its COM number,
// {addr4} the last four hex digits of its own device address, {n} its place in the run,
// {unit} its number in the production record.
#pragma once

#include <QString>

#include <optional>

namespace production_run {

struct UnitValues {
    // 0 for a port given by its device path: {com} then has no value.
    int com = 0;
    QString addr4;
    int n = 1;
    // 0 until the record has given one.
    int unit = 0;
};

inline const QString kUnitPlaceholder = QStringLiteral("{unit}");

// The text with every placeholder filled; any other text, braces included, stays.
QString FillPlaceholders(const QString& text, const UnitValues& unit);

// Why a placeholder in the text has no value for this module ({com} for a port given by
// its device path, {addr4} for a module that reported no address), naming it; nothing
// when every placeholder it holds has one.
std::optional<QString> PlaceholderWithoutValue(const QString& text, const UnitValues& unit);

// "0012 6f 3a 9b01" gives "9b01": the last four hex digits, blanks left out.
QString LastFourHexDigits(const QString& deviceAddress);

} // namespace production_run
