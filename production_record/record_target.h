// Where the production record lives: an SQLite file (one bench) or a PostgreSQL database
// named by a postgresql:// URL (several benches).
#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace production_record {

struct RecordTarget {
    enum class Kind { SqliteFile, Postgres };
    Kind kind = Kind::SqliteFile;
    // The file's absolute path, or the database's name.
    QString database;
    // PostgreSQL only: a host name, or the folder of the server's Unix socket.
    QString host;
    int port = 5432;
    QString user;
    // The target as the spool names it: the absolute path, or the URL as given.
    QString key;
};

// TARGET as given on the command line, or why it is refused. A password in the URL is
// refused: it belongs in PGPASSFILE or ~/.pgpass, not on a command line others can see.
std::variant<RecordTarget, QString> ParseRecordTarget(const QString& text);

// The Qt SQL driver the target needs ("QSQLITE" or "QPSQL").
QString DriverName(const RecordTarget& target);

// Why this program cannot reach such a target at all (its driver is missing), or nothing.
std::optional<QString> MissingDriver(const RecordTarget& target);

} // namespace production_record
