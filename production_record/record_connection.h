// One connection to the record, for the thread that made it (Qt SQL connections belong
// to their thread), and the transactions that keep two benches from taking one number.
#pragma once

#include "record_target.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace production_record {

// How long the record may keep a bench waiting, and what ends the wait early.
struct RecordWaits {
    std::chrono::seconds limit{20};
    // Set (by Ctrl-C) to give up at the next retry.
    const std::atomic<bool>* interrupted = nullptr;
};

class RecordConnection {
public:
    enum class Mode { ReadWrite, ReadOnly };

    explicit RecordConnection(RecordTarget target, Mode mode = Mode::ReadWrite,
                              RecordWaits waits = {});
    ~RecordConnection();
    RecordConnection(const RecordConnection&) = delete;
    RecordConnection& operator=(const RecordConnection&) = delete;

    // Opens it once; later calls return at once. Why it cannot be opened, or nothing.
    std::optional<QString> open();
    QSqlDatabase& database() { return m_database; }
    const RecordTarget& target() const { return m_target; }
    bool isPostgres() const { return m_target.kind == RecordTarget::Kind::Postgres; }

    // Runs `body` in a transaction that holds the record's write lock from its start
    // (SQLite's immediate transaction; on PostgreSQL the row locks its statements take).
    // While another session holds the lock, or after the server dropped the connection,
    // the transaction is rolled back and run again from its start, until the wait limit or
    // Ctrl-C. `body` returns why it failed; a failure of a statement it reported through
    // failure() may be retried, any other is final. Why it failed, or nothing.
    std::optional<QString> write(const std::function<std::optional<QString>()>& body);

    // Runs `body`, which reads the record (in a transaction of its own, if it needs one), and
    // runs it again while another session holds a lock it needs, until the wait limit or
    // Ctrl-C. A failure of a statement it reported through failure() may be retried, any other
    // is final. Why it failed, or nothing.
    std::optional<QString> read(const std::function<std::optional<QString>()>& body);

    // Whether the last failure was Ctrl-C ending a wait.
    bool wasInterrupted() const { return m_interrupted; }
    // Whether the last failure of write() was a statement the record refused (its data), not
    // the record itself (a lock, a lost connection, a wait given up): the same transaction
    // without that statement may succeed.
    bool refusedStatement() const { return m_refusedStatement; }
    // Whether that statement was refused for the data it carried (a value out of range, a rule
    // of the database): the row, not the record, is at fault.
    bool refusedData() const { return m_refusedStatement && m_dataFault; }

    // How long write() keeps trying from now on.
    std::chrono::seconds waitLimit() const { return m_waits.limit; }
    void setWaitLimit(std::chrono::seconds limit) { m_waits.limit = limit; }

    // A failed statement for people, noting whether it is worth another try.
    QString failure(const QSqlError& error);

    // The statement prepared once for this connection and kept: on PostgreSQL preparing and
    // releasing a statement each take a round trip to the server. Nothing when it cannot be
    // prepared; preparationError() says why.
    QSqlQuery* prepared(const QString& statement);
    const QSqlError& preparationError() const { return m_statementError; }

private:
    std::optional<QString> connect();
    std::optional<QString> attempt(const std::function<std::optional<QString>()>& body);
    bool run(const QString& statement);
    std::optional<QString> switchToWriteAheadLog();
    bool beginWriting();
    bool commit();
    void rollback();
    bool stillConnected();
    bool stopWaiting(std::chrono::steady_clock::time_point deadline);
    // Why a wait for a lock ended without it: Ctrl-C, or the wait limit.
    QString gaveUp() const;

    RecordTarget m_target;
    Mode m_mode;
    RecordWaits m_waits;
    // What the server may spend on one statement: the wait limit the connection was made with.
    std::chrono::seconds m_statementLimit;
    QString m_name;
    QSqlDatabase m_database;
    bool m_opened = false;
    // The last failure: another session held the lock, or the connection was lost.
    bool m_retryable = false;
    bool m_interrupted = false;
    bool m_refusedStatement = false;
    // The last failure was the server ending a statement that ran past statement_timeout.
    bool m_timedOut = false;
    bool m_dataFault = false;
    QSqlError m_statementError;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
};

// Runs the statement once with its values bound in order, reading forward only (a large
// answer is not kept whole): false when it failed, as query.lastError() tells.
bool RunForwardOnly(QSqlQuery& query, const QString& statement, const QVariantList& values);

} // namespace production_record
