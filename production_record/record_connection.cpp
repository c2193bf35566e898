#include "record_connection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <thread>

namespace production_record {
namespace {

// Another session holding the lock is waited out in slices of this length, so that Ctrl-C
// and the wait limit are noticed between them.
constexpr std::chrono::milliseconds kLockSlice{250};
constexpr std::chrono::milliseconds kReconnectPause{250};
constexpr std::chrono::seconds kConnectTimeout{5};
// A server that stops answering on an open connection (a dropped network) is noticed by
// TCP keepalives after about this long.
constexpr std::chrono::seconds kKeepaliveIdle{5};
constexpr std::chrono::seconds kKeepaliveInterval{2};
constexpr int kKeepaliveCount = 3;

QString NextConnectionName() {
    static std::atomic<int> next{0};
    return QStringLiteral("cordelo-record-%1").arg(++next);
}

// SQLite's "busy" and "locked", PostgreSQL's lock timeout, deadlock and serialisation
// failure: another session has the lock, and the same transaction may succeed later.
bool IsLockWait(const QSqlError& error) {
    static const QStringList codes = {QStringLiteral("5"), QStringLiteral("6"),
                                      QStringLiteral("55P03"), QStringLiteral("40P01"),
                                      QStringLiteral("40001")};
    return codes.contains(error.nativeErrorCode());
}

// PostgreSQL's data exceptions, integrity violations and raised exceptions; SQLite's "too big",
// constraint and type mismatch: the statement's values are refused, not the statement.
bool IsDataFault(const QSqlError& error, bool postgres) {
    const QString code = error.nativeErrorCode();
    if (postgres)
        return code.startsWith(QStringLiteral("22")) || code.startsWith(QStringLiteral("23")) ||
               code.startsWith(QStringLiteral("P0"));
    return code == QStringLiteral("18") || code == QStringLiteral("19") ||
           code == QStringLiteral("20");
}

// The database's own words, which say what went wrong; the driver's ("Unable to execute
// statement", "QPSQL: Unable to connect") only say which call failed, and are told alone
// when the database said nothing.
QString Why(const QSqlError& error) {
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QString given = error.databaseText().trimmed();
    if (given.isEmpty())
        given = error.driverText().trimmed();
    // libpq puts its advice on a line of its own: each line a sentence.
    QString text;
    for (QString line : given.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.remove(severity).replace(blanks, QStringLiteral(" ")).trimmed();
        if (line.isEmpty())
            continue;
        if (!text.isEmpty())
            text += QString(QStringLiteral(".?!:;").contains(text.back()) ? QStringLiteral(" ")
                                                                          : QStringLiteral(". "));
        text += line;
    }
    return text.isEmpty() ? QStringLiteral("the connection to the database was lost") : text;
}

// What to do about a server that would not let the bench in, where libpq does not say.
QString ConnectionAdvice(const QString& why) {
    if (why.contains(QLatin1String("password")))
        return QStringLiteral("; give the password in ~/.pgpass, PGPASSFILE, PGPASSWORD or a "
                              "service file");
    if (why.endsWith(QLatin1Char('?')))
        return {};
    return QStringLiteral("; check the URL's host, port, user and database, and that the "
                          "server runs");
}

// SQLite's "not a database": the file is something else (a log, a spreadsheet).
constexpr int kSqliteNotADatabase = 26;

} // namespace

RecordConnection::RecordConnection(RecordTarget target, Mode mode, RecordWaits waits)
    : m_target(std::move(target)), m_mode(mode), m_waits(waits), m_statementLimit(waits.limit),
      m_name(NextConnectionName()) {}

RecordConnection::~RecordConnection() {
    m_prepared.clear();
    if (m_database.isValid())
        m_database.close();
    m_database = QSqlDatabase();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

std::optional<QString> RecordConnection::open() {
    if (m_opened)
        return std::nullopt;
    if (const auto missing = MissingDriver(m_target))
        return missing;
    if (!isPostgres() && m_mode == Mode::ReadOnly && !QFileInfo::exists(m_target.database))
        return QStringLiteral("there is no record %1; give the file a recorded run made")
            .arg(m_target.database);
    const QString folder = QFileInfo(m_target.database).absolutePath();
    if (!isPostgres() && !QFileInfo(folder).isDir())
        return QStringLiteral("cannot open the record %1: there is no folder %2; make it, or "
                              "give a record in another folder")
            .arg(m_target.database, folder);
    if (!isPostgres() && QFileInfo(m_target.database).isDir())
        return QStringLiteral("the record %1 is a folder; give the record's file, such as "
                              "%2")
            .arg(m_target.database, QDir(m_target.database).filePath(QStringLiteral("line.db")));
    if (const auto error = connect())
        return error;
    m_opened = true;
    return std::nullopt;
}

std::optional<QString> RecordConnection::connect() {
    if (!m_database.isValid())
        m_database = QSqlDatabase::addDatabase(DriverName(m_target), m_name);
    m_database.setDatabaseName(m_target.database);
    const bool readOnly = m_mode == Mode::ReadOnly;
    if (isPostgres()) {
        m_database.setHostName(m_target.host);
        m_database.setPort(m_target.port);
        m_database.setUserName(m_target.user);
        m_database.setConnectOptions(
            QStringLiteral("connect_timeout=%1;keepalives_idle=%2;keepalives_interval=%3;"
                           "keepalives_count=%4")
                .arg(kConnectTimeout.count())
                .arg(kKeepaliveIdle.count())
                .arg(kKeepaliveInterval.count())
                .arg(kKeepaliveCount) +
            LibpqOptions(m_target));
    } else {
        m_database.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLockSlice.count()) +
            (readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    }
    const QString folder = QFileInfo(m_target.database).absolutePath();
    const QString unwritable =
        !isPostgres() && !readOnly && !QFileInfo(folder).isWritable()
            ? QStringLiteral(" (the folder %1 is not writable, and the record keeps files of "
                             "its own beside the database)")
                  .arg(folder)
            : QString();
    if (!m_database.open()) {
        if (isPostgres()) {
            const QString why = Why(m_database.lastError());
            return QStringLiteral("cannot reach the record %1: %2%3")
                .arg(m_target.key, why, ConnectionAdvice(why));
        }
        return QStringLiteral("cannot open the record %1: %2%3")
            .arg(m_target.key, Why(m_database.lastError()), unwritable);
    }
    if (isPostgres() && !run(QStringLiteral("SET lock_timeout = %1").arg(kLockSlice.count())))
        return failure(m_statementError);
    // A server that takes a statement and then dawdles ends it itself; one that stopped
    // answering altogether is left to the bounded waits of the record's callers.
    if (isPostgres() && !readOnly &&
        !run(QStringLiteral("SET statement_timeout = %1")
                 .arg(std::chrono::milliseconds(m_statementLimit).count())))
        return failure(m_statementError);
    // A write-ahead log flushes the disk once per commit where a rollback journal flushes it
    // four times; it needs every writer on this machine, as one bench's file is. The commit
    // stays durable (synchronous=FULL), since a unit number lost to a power cut could be
    // given again.
    if (!isPostgres() && !readOnly) {
        if (const auto error = switchToWriteAheadLog())
            return *error + unwritable;
        if (!run(QStringLiteral("PRAGMA synchronous=FULL")))
            return failure(m_statementError) + unwritable;
    }
    return std::nullopt;
}

bool RecordConnection::run(const QString& statement) {
    QSqlQuery query(m_database);
    if (query.exec(statement))
        return true;
    m_statementError = query.lastError();
    return false;
}

std::optional<QString> RecordConnection::switchToWriteAheadLog() {
    // Benches that open a new file at the same moment race to switch it, and SQLite answers
    // the losers "database is locked" at once instead of waiting: try again while others
    // would wait for the lock. Any other failure (a file that is no database) is final.
    const auto deadline = std::chrono::steady_clock::now() + m_waits.limit;
    while (!run(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        const QString why = failure(m_statementError);
        if (!m_retryable || stopWaiting(deadline))
            return why;
        std::this_thread::sleep_for(kLockSlice / 10);
    }
    return std::nullopt;
}

bool RecordConnection::beginWriting() {
    return isPostgres() ? run(QStringLiteral("BEGIN")) : run(QStringLiteral("BEGIN IMMEDIATE"));
}

bool RecordConnection::commit() {
    return run(QStringLiteral("COMMIT"));
}

void RecordConnection::rollback() {
    run(QStringLiteral("ROLLBACK"));
}

bool RecordConnection::stopWaiting(std::chrono::steady_clock::time_point deadline) {
    if (m_waits.interrupted != nullptr && m_waits.interrupted->load()) {
        m_interrupted = true;
        return true;
    }
    return std::chrono::steady_clock::now() >= deadline;
}

std::optional<QString>
RecordConnection::write(const std::function<std::optional<QString>()>& body) {
    if (const auto error = open())
        return error;
    m_interrupted = false;
    m_refusedStatement = false;
    const auto deadline = std::chrono::steady_clock::now() + m_waits.limit;
    while (true) {
        const std::optional<QString> error = attempt(body);
        if (!error)
            return std::nullopt;
        // The server went away (restarted, say): a new connection may carry the same
        // transaction once it is back.
        const bool lost = !m_retryable && !stillConnected();
        m_refusedStatement = !m_retryable && !lost && !m_timedOut;
        if ((!m_retryable && !lost) || stopWaiting(deadline))
            return m_interrupted || m_retryable ? gaveUp() : error;
        if (lost) {
            m_prepared.clear();
            m_database.close();
            std::this_thread::sleep_for(kReconnectPause);
        }
    }
}

std::optional<QString> RecordConnection::read(const std::function<std::optional<QString>()>& body) {
    if (const auto error = open())
        return error;
    m_interrupted = false;
    const auto deadline = std::chrono::steady_clock::now() + m_waits.limit;
    while (true) {
        m_retryable = false;
        const std::optional<QString> error = body();
        if (!error)
            return std::nullopt;
        if (!m_retryable || stopWaiting(deadline))
            return m_retryable ? gaveUp() : *error;
        // Most lock waits end in the database's own wait; one it answers at once is not
        // asked again at once.
        std::this_thread::sleep_for(kLockSlice / 10);
    }
}

QString RecordConnection::gaveUp() const {
    if (m_interrupted)
        return QStringLiteral("interrupted while waiting for the record %1").arg(m_target.key);
    return QStringLiteral("the record %1 is locked by another session; waited %2 s "
                          "(--record-timeout sets how long)")
        .arg(m_target.key)
        .arg(m_waits.limit.count());
}

std::optional<QString>
RecordConnection::attempt(const std::function<std::optional<QString>()>& body) {
    m_retryable = false;
    m_timedOut = false;
    m_dataFault = false;
    if (!m_database.isOpen()) {
        if (const auto error = connect())
            return error;
    }
    if (!beginWriting())
        return failure(m_statementError);
    if (const auto error = body()) {
        rollback();
        return error;
    }
    if (!commit())
        return failure(m_statementError);
    return std::nullopt;
}

bool RecordConnection::stillConnected() {
    return !isPostgres() || (m_database.isOpen() && run(QStringLiteral("SELECT 1")));
}

QSqlQuery* RecordConnection::prepared(const QString& statement) {
    std::unique_ptr<QSqlQuery>& query = m_prepared[statement];
    if (query)
        return query.get();
    auto made = std::make_unique<QSqlQuery>(m_database);
    if (!made->prepare(statement)) {
        m_statementError = made->lastError();
        m_prepared.erase(statement);
        return nullptr;
    }
    query = std::move(made);
    return query.get();
}

QString RecordConnection::failure(const QSqlError& error) {
    m_retryable = IsLockWait(error);
    m_timedOut = error.nativeErrorCode() == QStringLiteral("57014");
    m_dataFault = IsDataFault(error, isPostgres());
    if (!isPostgres() && error.nativeErrorCode() == QString::number(kSqliteNotADatabase))
        return QStringLiteral("%1 is no production record: it is not an SQLite database; give "
                              "the record's own file")
            .arg(m_target.key);
    return QStringLiteral("the record %1: %2").arg(m_target.key, Why(error));
}

bool RunForwardOnly(QSqlQuery& query, const QString& statement, const QVariantList& values) {
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

} // namespace production_record
