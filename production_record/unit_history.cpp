#include "unit_history.h"

#include "record_filter.h"
#include "record_listing.h"
#include "record_schema.h"

#include <QRegularExpression>

#include <algorithm>

namespace production_record {
namespace {

bool IsWrite(const RecordRow& row) {
    return row.command == QLatin1String("write");
}

// A write that reached the module: a clone refused before it was sent one says nothing of it.
bool ReachedModule(const RecordRow& row) {
    return IsWrite(row) && row.result != QLatin1String(kRefusedResult);
}

bool Passed(const RecordRow& row) {
    return IsWrite(row) && row.result == QLatin1String("ok");
}

} // namespace

UnitCode ParseUnitCode(const QString& code) {
    // A unit number is short; an address of digits alone has twelve of them.
    static const QRegularExpression unitNumber(QStringLiteral("^(?:unit)?[\\s#:-]*(\\d{1,9})$"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QString given = code.trimmed();
    const auto match = unitNumber.match(given);
    if (match.hasMatch())
        return {match.captured(1).toInt(), {}};
    return {std::nullopt, AddressKey(given)};
}

SettingsText SettingsAfter(const RecordRow& row) {
    SettingsText settings = row.before.value_or(SettingsText{});
    const SettingsText acknowledged = row.acknowledged.value_or(SettingsText{});
    for (auto entry = acknowledged.cbegin(); entry != acknowledged.cend(); ++entry)
        settings.insert(entry.key(), entry.value());
    return settings;
}

std::optional<RecordRow> LatestPassingWrite(const UnitHistory& history) {
    const auto found = std::find_if(history.rows.crbegin(), history.rows.crend(), Passed);
    if (found == history.rows.crend())
        return std::nullopt;
    return *found;
}

FoundUnit FindUnit(RecordConnection& connection, const QString& code) {
    const UnitCode parsed = ParseUnitCode(code);
    QString key = parsed.addressKey;
    if (parsed.unit) {
        // The unit's number is on its writes; its other rows are found by its address.
        RecordFilter byUnit;
        byUnit.unit = parsed.unit;
        const auto numbered = ListRows(connection, byUnit);
        if (const auto* error = std::get_if<QString>(&numbered))
            return *error;
        for (const RecordRow& row : std::get<QList<RecordRow>>(numbered)) {
            if (!row.deviceAddress.isEmpty())
                key = AddressKey(row.deviceAddress);
        }
    }
    if (key.isEmpty())
        return std::nullopt;
    RecordFilter byAddress;
    byAddress.deviceAddress = key;
    auto listed = ListRows(connection, byAddress);
    if (const auto* error = std::get_if<QString>(&listed))
        return *error;
    UnitHistory history;
    history.rows = std::get<QList<RecordRow>>(std::move(listed));
    if (history.rows.isEmpty())
        return std::nullopt;
    history.deviceAddress = history.rows.constLast().deviceAddress;
    for (const RecordRow& row : history.rows) {
        if (row.unit)
            history.unit = row.unit;
    }
    // What the module holds now: a later write that failed may still have changed its name.
    const auto lastWrite =
        std::find_if(history.rows.crbegin(), history.rows.crend(), ReachedModule);
    if (lastWrite != history.rows.crend())
        history.name = SettingsAfter(*lastWrite).value(QStringLiteral("name"));

    QList<LabelRow> labels;
    const auto error = connection.read([&connection, &key, &labels]() -> std::optional<QString> {
        const auto layout = ReadableLayout(connection);
        if (const auto* refusal = std::get_if<QString>(&layout))
            return *refusal;
        auto rows = LabelRowsOf(connection, key, std::get<int>(layout));
        if (const auto* failed = std::get_if<QString>(&rows))
            return *failed;
        labels = std::get<QList<LabelRow>>(std::move(rows));
        return std::nullopt;
    });
    if (error)
        return *error;
    history.labels = labels;
    return history;
}

} // namespace production_record
