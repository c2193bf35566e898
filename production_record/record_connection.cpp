#include "record_connection.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <chrono>
#include <thread>

namespace production_record {
namespace {

// Long enough for every other bench's claim or row; a database busier than that has failed.
constexpr std::chrono::milliseconds kBusyTimeout{20000};
constexpr std::chrono::milliseconds kWriteAheadRetry{10};
constexpr std::chrono::seconds kConnectTimeout{5};

QString NextConnectionName() {
    static std::atomic<int> next{0};
    return QStringLiteral("cordelo-record-%1").arg(++next);
}

} // namespace

RecordConnection::RecordConnection(RecordTarget target, Mode mode)
    : m_target(std::move(target)), m_mode(mode), m_name(NextConnectionName()) {}

RecordConnection::~RecordConnection() {
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
    const bool readOnly = m_mode == Mode::ReadOnly;
    if (!isPostgres() && readOnly && !QFileInfo::exists(m_target.database))
        return QStringLiteral("there is no record %1").arg(m_target.database);
    m_database = QSqlDatabase::addDatabase(DriverName(m_target), m_name);
    m_database.setDatabaseName(m_target.database);
    if (isPostgres()) {
        m_database.setHostName(m_target.host);
        m_database.setPort(m_target.port);
        m_database.setUserName(m_target.user);
        m_database.setConnectOptions(
            QStringLiteral("connect_timeout=%1").arg(kConnectTimeout.count()) +
            LibpqOptions(m_target));
    } else {
        m_database.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeout.count()) +
            (readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    }
    if (!m_database.open())
        return QStringLiteral("cannot open the record %1: %2")
            .arg(m_target.key, m_database.lastError().text());
    // A write-ahead log flushes the disk once per commit where a rollback journal flushes it
    // four times; it needs every writer on this machine, as one bench's file is. The commit
    // stays durable (synchronous=FULL), since a unit number lost to a power cut could be
    // given again.
    if (!isPostgres() && !readOnly &&
        !(switchToWriteAheadLog() && run(QStringLiteral("PRAGMA synchronous=FULL"))))
        return errorText();
    m_opened = true;
    return std::nullopt;
}

bool RecordConnection::run(const QString& statement) {
    QSqlQuery query(m_database);
    if (query.exec(statement))
        return true;
    m_statementError = query.lastError().text();
    return false;
}

bool RecordConnection::switchToWriteAheadLog() {
    // Benches that open a new file at the same moment race to switch it, and SQLite answers
    // the losers "database is locked" at once instead of waiting: try again while others
    // would wait for the lock.
    const auto deadline = std::chrono::steady_clock::now() + kBusyTimeout;
    while (!run(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kWriteAheadRetry);
    }
    return true;
}

bool RecordConnection::beginWriting() {
    return isPostgres() ? m_database.transaction() : run(QStringLiteral("BEGIN IMMEDIATE"));
}

bool RecordConnection::commit() {
    return isPostgres() ? m_database.commit() : run(QStringLiteral("COMMIT"));
}

void RecordConnection::rollback() {
    if (isPostgres())
        m_database.rollback();
    else
        run(QStringLiteral("ROLLBACK"));
}

QString RecordConnection::errorText(const QString& failed) const {
    QString text = failed.isEmpty() ? m_database.lastError().text() : failed;
    if (text.trimmed().isEmpty())
        text = m_statementError;
    return QStringLiteral("the record %1: %2").arg(m_target.key, text);
}

} // namespace production_record
