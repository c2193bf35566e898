#include "record_schema.h"

#include "record_filter.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace production_record {
namespace {

// Any fixed number: the benches serialise their schema work on this PostgreSQL lock.
constexpr int kSchemaLock = 1719;

QStringList VersionOneTables(bool postgres) {
    const QString key = postgres ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY")
                                 : QStringLiteral("INTEGER");
    return {
        QStringLiteral("CREATE TABLE record_schema (version INTEGER NOT NULL)"),
        // The next unit number: one row, locked by whoever takes a number.
        QStringLiteral("CREATE TABLE unit_counter (next_unit INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO unit_counter (next_unit) VALUES (1)"),
        QStringLiteral("CREATE TABLE unit_numbers (device_address TEXT PRIMARY KEY, "
                       "unit INTEGER NOT NULL UNIQUE, bench TEXT NOT NULL, "
                       "taken_at TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE values_rows (list TEXT NOT NULL, list_row INTEGER NOT "
                       "NULL, device_address TEXT NOT NULL, bench TEXT NOT NULL, taken_at TEXT "
                       "NOT NULL, PRIMARY KEY (list, list_row), UNIQUE (list, device_address))"),
        QStringLiteral("CREATE TABLE module_records (id %1 PRIMARY KEY, row_id TEXT NOT NULL "
                       "UNIQUE, recorded_at TEXT NOT NULL, bench TEXT NOT NULL, command TEXT "
                       "NOT NULL, port TEXT NOT NULL, device TEXT NOT NULL, device_address "
                       "TEXT NOT NULL, firmware TEXT NOT NULL, result TEXT NOT NULL, "
                       "exit_status INTEGER NOT NULL, settings_before TEXT, "
                       "settings_acknowledged TEXT, settings_verified TEXT, problem_keys TEXT "
                       "NOT NULL, unit INTEGER)")
            .arg(key),
        QStringLiteral("CREATE INDEX module_records_address ON module_records (device_address)"),
        QStringLiteral("CREATE INDEX module_records_time ON module_records (recorded_at)"),
    };
}

// Values rows known by their values, not by a file's name and line: a list sorted or edited
// and saved again never gives a row twice. The rows the first layout gave by line stay in
// values_rows until a list of that name is used again, which carries them over.
QStringList VersionTwoTables() {
    return {
        QStringLiteral("CREATE TABLE values_given (row_key TEXT PRIMARY KEY, device_address TEXT "
                       "NOT NULL, list TEXT NOT NULL, bench TEXT NOT NULL, taken_at TEXT NOT "
                       "NULL)"),
        QStringLiteral("CREATE INDEX values_given_address ON values_given (device_address)"),
    };
}

// Each row keeps what the run told about its module, and the questions people ask of the
// record (a bench, a unit, an address in any spelling, the failures) each find their rows
// through an index. The values lists remember their length, so that the rows left are known.
QStringList VersionThreeTables(bool postgres) {
    return {
        QStringLiteral("ALTER TABLE module_records ADD COLUMN message TEXT NOT NULL DEFAULT ''"),
        // Kept by the database, not by the program: a bench of the last release still writing
        // into the upgraded record gives its rows their key too. PostgreSQL stores it, so a
        // summary reads it instead of working it out for every row; SQLite can only add a
        // computed one to a table.
        QStringLiteral("ALTER TABLE module_records ADD COLUMN address_key TEXT GENERATED ALWAYS "
                       "AS (%1) %2")
            .arg(QLatin1String(kAddressKeySql),
                 postgres ? QStringLiteral("STORED") : QStringLiteral("VIRTUAL")),
        QStringLiteral("CREATE INDEX module_records_address_key ON module_records (address_key)"),
        // The summary's rows: the write rows of a day, with what it groups them by.
        QStringLiteral("CREATE INDEX module_records_written ON module_records (command, "
                       "recorded_at, bench, address_key, result)"),
        QStringLiteral("CREATE INDEX module_records_bench_time ON module_records (bench, "
                       "recorded_at)"),
        QStringLiteral("CREATE INDEX module_records_unit ON module_records (unit)"),
        QStringLiteral("CREATE INDEX module_records_result ON module_records (result)"),
        QStringLiteral("CREATE INDEX values_given_list ON values_given (list)"),
        QStringLiteral("CREATE TABLE values_lists (list TEXT PRIMARY KEY, list_rows INTEGER NOT "
                       "NULL)"),
    };
}

// The unit numbers and values rows are claimed by the module's address key, so that one
// module reporting its address in two spellings is one unit. An older record's claims are
// brought to their keys in place; where two spellings each took a number, the module keeps the
// first it was given. A values row now says which claim took it, so that a claim whose module
// was never written gives it back.
QStringList VersionFourTables() {
    const QString key = QLatin1String(kAddressKeySql);
    const auto keyOf = [&key](const QString& table) {
        return QString(key).replace(QStringLiteral("device_address"),
                                    table + QStringLiteral(".device_address"));
    };
    return {
        QStringLiteral("DELETE FROM unit_numbers WHERE unit > (SELECT min(kept.unit) FROM "
                       "unit_numbers AS kept WHERE %1 = %2)")
            .arg(keyOf(QStringLiteral("kept")), keyOf(QStringLiteral("unit_numbers"))),
        QStringLiteral("UPDATE unit_numbers SET device_address = %1").arg(key),
        QStringLiteral("DELETE FROM values_rows WHERE list_row > (SELECT min(kept.list_row) FROM "
                       "values_rows AS kept WHERE kept.list = values_rows.list AND %1 = %2)")
            .arg(keyOf(QStringLiteral("kept")), keyOf(QStringLiteral("values_rows"))),
        QStringLiteral("UPDATE values_rows SET device_address = %1").arg(key),
        QStringLiteral("UPDATE values_given SET device_address = %1").arg(key),
        QStringLiteral("ALTER TABLE values_given ADD COLUMN claimed_by TEXT"),
        QStringLiteral("CREATE INDEX values_given_claimed_by ON values_given (claimed_by)"),
    };
}

// A values list is known by its file's name and its rows, not by its name alone: two lists
// named serials.csv in two folders are two lists, and a copy under another name has the rows
// left that were never given. Each list's rows are kept once per content, so that the rows
// left are known whatever other list gave the same rows. The lengths the third layout kept
// by name stay in values_lists until a list of that name is used again.
QStringList VersionFiveTables() {
    return {
        QStringLiteral("CREATE TABLE values_files (file_name TEXT NOT NULL, content_key TEXT NOT "
                       "NULL, folder TEXT NOT NULL, bench TEXT NOT NULL, first_used TEXT NOT "
                       "NULL, last_used TEXT NOT NULL, PRIMARY KEY (file_name, content_key))"),
        QStringLiteral("CREATE TABLE values_contents (content_key TEXT NOT NULL, row_key TEXT NOT "
                       "NULL, PRIMARY KEY (content_key, row_key))"),
    };
}

// Each label printed or tried, reprints too, for the unit it names: where it went, or why it
// was not printed. Looked up by the unit's address key or its number.
QStringList VersionSixTables(bool postgres) {
    const QString key = postgres ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY")
                                 : QStringLiteral("INTEGER");
    return {
        QStringLiteral("CREATE TABLE labels (id %1 PRIMARY KEY, address_key TEXT NOT NULL, unit "
                       "INTEGER, printed_at TEXT NOT NULL, bench TEXT NOT NULL, template TEXT "
                       "NOT NULL, destination TEXT NOT NULL, printed INTEGER NOT NULL, reason "
                       "TEXT NOT NULL, reprint INTEGER NOT NULL)")
            .arg(key),
        QStringLiteral("CREATE INDEX labels_address_key ON labels (address_key, printed_at)"),
        QStringLiteral("CREATE INDEX labels_unit ON labels (unit)"),
    };
}

// True when the record's version table is where the connection looks for tables: on
// PostgreSQL that is the search path, so a bench role's own schema counts as well as public.
std::optional<bool> HasVersionTable(RecordConnection& connection, QString& error) {
    QSqlQuery query(connection.database());
    const QString statement =
        connection.isPostgres()
            // A scan of the catalogue, not to_regclass(), whose cache may still miss a table
            // that another bench made while this one waited for the schema lock.
            ? QStringLiteral("SELECT count(*) > 0 FROM pg_catalog.pg_class c JOIN "
                             "pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE c.relname "
                             "= 'record_schema' AND n.nspname = ANY (current_schemas(false))")
            : QStringLiteral("SELECT count(*) > 0 FROM sqlite_master WHERE type = 'table' AND "
                             "name = 'record_schema'");
    if (!query.exec(statement) || !query.next()) {
        error = connection.failure(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toBool();
}

// The version the database holds: 0 when it holds no record yet, nothing when it cannot be read.
std::optional<int> StoredVersion(RecordConnection& connection, QString& error) {
    const std::optional<bool> hasTable = HasVersionTable(connection, error);
    if (!hasTable || !*hasTable)
        return hasTable ? std::optional<int>(0) : std::nullopt;
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("SELECT max(version) FROM record_schema")) || !query.next()) {
        error = connection.failure(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toInt();
}

QString NewerSchema(const RecordConnection& connection, int version) {
    return QStringLiteral("the record %1 has the layout of version %2, newer than this "
                          "cordelo-cli knows (%3); use a newer cordelo-cli. The record was left "
                          "as it is.")
        .arg(connection.target().key)
        .arg(version)
        .arg(kSchemaVersion);
}

std::optional<QString> Upgrade(RecordConnection& connection, int from) {
    QStringList statements;
    if (from == 0)
        statements = VersionOneTables(connection.isPostgres());
    if (from < 2)
        statements << VersionTwoTables();
    if (from < 3)
        statements << VersionThreeTables(connection.isPostgres());
    if (from < 4)
        statements << VersionFourTables();
    if (from < 5)
        statements << VersionFiveTables();
    if (from < 6)
        statements << VersionSixTables(connection.isPostgres());
    statements << QStringLiteral("DELETE FROM record_schema");
    statements
        << QStringLiteral("INSERT INTO record_schema (version) VALUES (%1)").arg(kSchemaVersion);
    QSqlQuery query(connection.database());
    for (const QString& statement : statements) {
        if (!query.exec(statement))
            return connection.failure(query.lastError());
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> PrepareSchema(RecordConnection& connection) {
    if (const auto error = connection.open())
        return error;
    // Every run but the first finds the layout current, and needs no write lock for that.
    QString error;
    const std::optional<int> current = StoredVersion(connection, error);
    if (current == kSchemaVersion)
        return std::nullopt;
    if (current > kSchemaVersion)
        return NewerSchema(connection, *current);
    return connection.write([&connection]() -> std::optional<QString> {
        QSqlQuery lock(connection.database());
        if (connection.isPostgres() &&
            !lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock)))
            return connection.failure(lock.lastError());
        QString error;
        const std::optional<int> version = StoredVersion(connection, error);
        if (!version)
            return error;
        if (*version > kSchemaVersion)
            return NewerSchema(connection, *version);
        if (*version < kSchemaVersion)
            return Upgrade(connection, *version);
        return std::nullopt;
    });
}

std::variant<int, QString> ReadableLayout(RecordConnection& connection) {
    if (const auto error = connection.open())
        return *error;
    QString error;
    const std::optional<int> version = StoredVersion(connection, error);
    if (!version)
        return error;
    if (*version == 0)
        return QStringLiteral("%1 holds no production record").arg(connection.target().key);
    if (*version > kSchemaVersion)
        return NewerSchema(connection, *version);
    return *version;
}

std::optional<QString> CheckSchema(RecordConnection& connection) {
    const auto layout = ReadableLayout(connection);
    if (const auto* error = std::get_if<QString>(&layout))
        return *error;
    return std::nullopt;
}

} // namespace production_record
