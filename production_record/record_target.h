// Where the production record lives: an SQLite file (one bench) or a PostgreSQL database
// named by a postgresql:// URL (several benches).
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace production_record {

struct RecordTarget {
    enum class Kind { SqliteFile, Postgres };
    Kind kind = Kind::SqliteFile;
    // The file's absolute path, or the database's name (empty when a service names it).
    QString database;
    // PostgreSQL only: a host name, or the folder of the server's Unix socket; empty when
    // libpq finds it (a service file, PGHOST).
    QString host;
    // -1 when the URL gives none: libpq's own default (a service file, PGPORT, 5432).
    int port = -1;
    QString user;
    // Every other libpq parameter of the URL's query (sslmode, service, ...), as given.
    QList<std::pair<QString, QString>> parameters;
    // The target as the spool names it: the absolute path, or the URL as given (which
    // holds no password: one is refused).
    QString key;
};

// TARGET as given on the command line, or why it is refused. A password in the URL is
// refused without repeating it: it belongs in ~/.pgpass, PGPASSFILE, PGPASSWORD or a
// service file, not on a command line others can see, in messages or in the spool.
std::variant<RecordTarget, QString> ParseRecordTarget(const QString& text);

// The target's libpq parameters as QPSQL's connect options take them
// ("sslmode='require';application_name='bench 3'"), to follow the options of our own.
QString LibpqOptions(const RecordTarget& target);

// The Qt SQL driver the target needs ("QSQLITE" or "QPSQL").
QString DriverName(const RecordTarget& target);

// Why this program cannot reach such a target at all (its driver is missing), or nothing.
std::optional<QString> MissingDriver(const RecordTarget& target);

} // namespace production_record
