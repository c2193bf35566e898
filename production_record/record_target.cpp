#include "record_target.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace production_record {
namespace {

const QString kPasswordRefused =
    QStringLiteral("give the record's password in ~/.pgpass (or the file PGPASSFILE names), "
                   "PGPASSWORD or a service file, never in the URL: others can see a command "
                   "line, and the URL is printed and kept in the spool");

// libpq's parameter names; anything else would only reach the server as a syntax error.
const QRegularExpression kParameterName(QStringLiteral("^[a-z_]+$"));

// Qt's PostgreSQL driver turns every ";" of its options into a blank, quoted or not.
constexpr QChar kOptionSeparator = u';';

// Host, port and the rest of the URL's query; why an item is refused, or nothing.
std::optional<QString> TakeQuery(const QUrl& url, RecordTarget& target) {
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (name == QLatin1String("password") || name == QLatin1String("sslpassword"))
            return kPasswordRefused;
        if (!kParameterName.match(name).hasMatch())
            return QStringLiteral("the record's URL: \"%1\" is not a libpq parameter").arg(name);
        if (value.contains(kOptionSeparator))
            return QStringLiteral(
                       "the record's URL: %1 may not hold \";\" (the PostgreSQL driver of Qt "
                       "splits its options there)")
                .arg(name);
        if (name == QLatin1String("host")) {
            target.host = value;
        } else if (name == QLatin1String("port")) {
            bool isNumber = false;
            target.port = value.toInt(&isNumber);
            if (!isNumber || target.port <= 0 || target.port > 65535)
                return QStringLiteral("the record's URL: port needs a number from 1 to 65535");
        } else {
            target.parameters.append({name, value});
        }
    }
    return std::nullopt;
}

bool HasParameter(const RecordTarget& target, const QString& name) {
    return std::any_of(target.parameters.cbegin(), target.parameters.cend(),
                       [&name](const auto& parameter) { return parameter.first == name; });
}

} // namespace

std::variant<RecordTarget, QString> ParseRecordTarget(const QString& text) {
    RecordTarget target;
    target.key = text;
    const bool postgres = text.startsWith(QLatin1String("postgresql://")) ||
                          text.startsWith(QLatin1String("postgres://"));
    if (!postgres) {
        // Only the scheme is repeated: the rest may hold a password.
        if (text.contains(QLatin1String("://")))
            return QStringLiteral("the record is an SQLite file or a postgresql:// URL, not a "
                                  "%1:// one")
                .arg(text.section(QLatin1String("://"), 0, 0));
        if (text.isEmpty())
            return QStringLiteral(
                "the record is an SQLite file or a postgresql:// URL; none was given");
        target.database = QDir::cleanPath(QFileInfo(text).absoluteFilePath());
        target.key = target.database;
        return target;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        // Qt's message goes on to repeat the URL, password and all: its reason alone is
        // told, and never a reason about the password.
        const QString reason = url.errorString().section(QLatin1String("; source was"), 0, 0);
        if (reason.contains(QLatin1String("password"), Qt::CaseInsensitive))
            return kPasswordRefused;
        return QStringLiteral("the record's URL is not a valid postgresql:// URL: %1").arg(reason);
    }
    if (!url.password().isEmpty())
        return kPasswordRefused;
    target.kind = RecordTarget::Kind::Postgres;
    target.host = url.host();
    target.port = url.port(-1);
    target.user = url.userName();
    target.database = url.path().mid(1);
    if (const auto refusal = TakeQuery(url, target))
        return *refusal;
    // A service file may name the host and the database.
    const bool noDatabase =
        target.database.isEmpty() && !HasParameter(target, QStringLiteral("dbname"));
    if (!HasParameter(target, QStringLiteral("service")) && (target.host.isEmpty() || noDatabase))
        return QStringLiteral("the record %1 names no server or database: give "
                              "postgresql://user@host:port/dbname, or ?service=NAME of a service "
                              "file")
            .arg(text);
    return target;
}

QString LibpqOptions(const RecordTarget& target) {
    QString options;
    for (const auto& [name, value] : target.parameters) {
        QString quoted = value;
        quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"))
            .replace(QLatin1String("'"), QLatin1String("\\'"));
        options += kOptionSeparator + name + QStringLiteral("='") + quoted + QLatin1Char('\'');
    }
    return options;
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
