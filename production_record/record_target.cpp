#include "record_target.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

namespace production_record {

std::variant<RecordTarget, QString> ParseRecordTarget(const QString& text) {
    RecordTarget target;
    target.key = text;
    const bool postgres = text.startsWith(QLatin1String("postgresql://")) ||
                          text.startsWith(QLatin1String("postgres://"));
    if (!postgres) {
        if (text.isEmpty() || text.contains(QLatin1String("://")))
            return QStringLiteral("--record needs an SQLite file or a postgresql:// URL, not "
                                  "\"%1\"")
                .arg(text);
        target.database = QDir::cleanPath(QFileInfo(text).absoluteFilePath());
        target.key = target.database;
        return target;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("--record %1: %2").arg(text, url.errorString());
    if (!url.password().isEmpty())
        return QStringLiteral("--record: give the database password in PGPASSFILE or "
                              "~/.pgpass, never in the URL");
    target.kind = RecordTarget::Kind::Postgres;
    const QUrlQuery query(url);
    target.host = query.hasQueryItem(QStringLiteral("host"))
                      ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
                      : url.host();
    target.port = url.port(5432);
    if (query.hasQueryItem(QStringLiteral("port")))
        target.port = query.queryItemValue(QStringLiteral("port")).toInt();
    target.user = url.userName();
    target.database = url.path().mid(1);
    if (target.host.isEmpty() || target.database.isEmpty() || target.port <= 0)
        return QStringLiteral("--record %1: give postgresql://user@host:port/dbname").arg(text);
    return target;
}

QString DriverName(const RecordTarget& target) {
    return target.kind == RecordTarget::Kind::Postgres ? QStringLiteral("QPSQL")
                                                       : QStringLiteral("QSQLITE");
}

std::optional<QString> MissingDriver(const RecordTarget& target) {
    if (QSqlDatabase::isDriverAvailable(DriverName(target)))
        return std::nullopt;
    return target.kind == RecordTarget::Kind::Postgres
               ? QStringLiteral("this cordelo-cli has no PostgreSQL driver for Qt "
                                "(on Debian: libqt6sql6-psql)")
               : QStringLiteral("this cordelo-cli has no SQLite driver for Qt "
                                "(on Debian: libqt6sql6-sqlite)");
}

} // namespace production_record
