#include "record_row.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace production_record {
namespace {

QJsonValue SettingsJson(const std::optional<SettingsText>& settings) {
    if (!settings)
        return QJsonValue();
    QJsonObject object;
    for (auto entry = settings->cbegin(); entry != settings->cend(); ++entry)
        object.insert(entry.key(), entry.value());
    return object;
}

std::optional<SettingsText> SettingsFromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    SettingsText settings;
    const QJsonObject object = value.toObject();
    for (auto entry = object.begin(); entry != object.end(); ++entry)
        settings.insert(entry.key(), entry.value().toString());
    return settings;
}

QVariant StoredSettings(const std::optional<SettingsText>& settings) {
    if (!settings)
        return QVariant(QMetaType::fromType<QString>());
    return QString::fromUtf8(
        QJsonDocument(SettingsJson(settings).toObject()).toJson(QJsonDocument::Compact));
}

// An empty text is stored as one, not as NULL.
QVariant Stored(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(StorableText(text));
}

const QStringList kUpdatedColumns =
    QStringLiteral("recorded_at bench command port device device_address firmware result "
                   "exit_status settings_before settings_acknowledged settings_verified "
                   "problem_keys unit message")
        .split(QLatin1Char(' '));

// A row already there under its id is the same module's row begun before its write (or the
// same row from the spool again): the row handed in is its latest state.
QString UpdateAll() {
    QStringList assignments;
    for (const QString& column : kUpdatedColumns)
        assignments << column + QStringLiteral(" = excluded.") + column;
    return assignments.join(QStringLiteral(", "));
}

// The signs that split a settings line, "%" and control characters as "%" and two hex
// digits, so that a name holding ";pin=0000" reads back as one name; all else as it is.
QString LinePart(const QString& text) {
    QString part;
    for (const QChar c : text) {
        if (c == u'%' || c == u';' || c == u'=' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            part += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            part += c;
    }
    return part;
}

// The values row a claim took for a module that was never written goes back to the list.
std::optional<QString> GiveBackValuesRow(RecordConnection& connection, const RecordRow& row) {
    QSqlQuery* query =
        connection.prepared(QStringLiteral("DELETE FROM values_given WHERE claimed_by = ?"));
    if (!query)
        return connection.failure(connection.preparationError());
    query->bindValue(0, row.rowId);
    if (!query->exec())
        return connection.failure(query->lastError());
    return std::nullopt;
}

std::optional<QString> InsertCompleted(RecordConnection& connection, const RecordRow& row) {
    if (const auto error = InsertRow(connection, row))
        return error;
    return SentNoWrite(row) ? GiveBackValuesRow(connection, row) : std::nullopt;
}

} // namespace

QString StorableText(const QString& text) {
    if (!text.contains(QChar(0)))
        return text;
    return QString(text).replace(QChar(0), QStringLiteral("\\x00"));
}

bool SentNoWrite(const RecordRow& row) {
    return row.command == QStringLiteral("write") && !row.acknowledged && row.problemKeys.isEmpty();
}

std::optional<QString> InsertRow(RecordConnection& connection, const RecordRow& row,
                                 ExistingRow existing) {
    QSqlQuery* query = connection.prepared(
        QString("INSERT INTO module_records (row_id, recorded_at, bench, command, port, device, "
                "device_address, firmware, result, exit_status, settings_before, "
                "settings_acknowledged, settings_verified, problem_keys, unit, message) VALUES (?, "
                "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (row_id) DO %1")
            .arg(existing == ExistingRow::Update ? QStringLiteral("UPDATE SET ") + UpdateAll()
                                                 : QStringLiteral("NOTHING")));
    if (!query)
        return connection.failure(connection.preparationError());
    const QVariantList values = {
        row.rowId,
        row.time.toUTC().toString(Qt::ISODateWithMs),
        Stored(row.bench),
        Stored(row.command),
        Stored(row.port),
        Stored(row.device),
        Stored(row.deviceAddress),
        Stored(row.firmware),
        Stored(row.result),
        row.exitStatus,
        StoredSettings(row.before),
        StoredSettings(row.acknowledged),
        StoredSettings(row.verified),
        Stored(row.problemKeys.join(QLatin1Char(';'))),
        row.unit ? QVariant(*row.unit) : QVariant(QMetaType::fromType<int>()),
        Stored(row.message),
    };
    for (int index = 0; index < values.size(); ++index)
        query->bindValue(index, values[index]);
    if (!query->exec())
        return connection.failure(query->lastError());
    return std::nullopt;
}

RecordRow NewRow() {
    RecordRow row;
    row.rowId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    row.time = QDateTime::currentDateTimeUtc();
    return row;
}

std::optional<QString> InsertRows(RecordConnection& connection, const QList<RecordRow>& rows) {
    return connection.write([&connection, &rows]() -> std::optional<QString> {
        for (const RecordRow& row : rows) {
            if (const auto error = InsertCompleted(connection, row))
                return error;
        }
        return std::nullopt;
    });
}

QList<RowStored> StoreRows(RecordConnection& connection, const QList<RecordRow>& rows) {
    return StoreEach(connection, rows, InsertRows);
}

QJsonObject RowJson(const RecordRow& row) {
    return QJsonObject{
        {QStringLiteral("row_id"), row.rowId},
        {QStringLiteral("time"), row.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("bench"), row.bench},
        {QStringLiteral("command"), row.command},
        {QStringLiteral("port"), row.port},
        {QStringLiteral("device"), row.device},
        {QStringLiteral("device_address"), row.deviceAddress},
        {QStringLiteral("firmware"), row.firmware},
        {QStringLiteral("result"), row.result},
        {QStringLiteral("exit"), row.exitStatus},
        {QStringLiteral("settings_before"), SettingsJson(row.before)},
        {QStringLiteral("settings_acknowledged"), SettingsJson(row.acknowledged)},
        {QStringLiteral("settings_verified"), SettingsJson(row.verified)},
        {QStringLiteral("problem_keys"), QJsonArray::fromStringList(row.problemKeys)},
        {QStringLiteral("unit"), row.unit ? QJsonValue(*row.unit) : QJsonValue()},
        {QStringLiteral("message"), row.message},
    };
}

std::optional<RecordRow> RowFromJson(const QJsonObject& object) {
    RecordRow row;
    row.rowId = object.value(QStringLiteral("row_id")).toString();
    row.time =
        QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    if (row.rowId.isEmpty() || !row.time.isValid())
        return std::nullopt;
    row.bench = object.value(QStringLiteral("bench")).toString();
    row.command = object.value(QStringLiteral("command")).toString();
    row.port = object.value(QStringLiteral("port")).toString();
    row.device = object.value(QStringLiteral("device")).toString();
    row.deviceAddress = object.value(QStringLiteral("device_address")).toString();
    row.firmware = object.value(QStringLiteral("firmware")).toString();
    row.result = object.value(QStringLiteral("result")).toString();
    row.exitStatus = object.value(QStringLiteral("exit")).toInt();
    row.before = SettingsFromJson(object.value(QStringLiteral("settings_before")));
    row.acknowledged = SettingsFromJson(object.value(QStringLiteral("settings_acknowledged")));
    row.verified = SettingsFromJson(object.value(QStringLiteral("settings_verified")));
    for (const QJsonValue& key : object.value(QStringLiteral("problem_keys")).toArray())
        row.problemKeys << key.toString();
    const QJsonValue unit = object.value(QStringLiteral("unit"));
    if (unit.isDouble())
        row.unit = unit.toInt();
    row.message = object.value(QStringLiteral("message")).toString();
    return row;
}

std::optional<SettingsText> StoredSettingsText(const QVariant& stored) {
    if (stored.isNull())
        return std::nullopt;
    return SettingsFromJson(QJsonDocument::fromJson(stored.toString().toUtf8()).object());
}

QString SettingsLine(const std::optional<SettingsText>& settings) {
    QStringList pairs;
    const SettingsText all = settings.value_or(SettingsText{});
    for (auto entry = all.cbegin(); entry != all.cend(); ++entry)
        pairs << LinePart(entry.key()) + QLatin1Char('=') + LinePart(entry.value());
    return pairs.join(QLatin1Char(';'));
}

} // namespace production_record
