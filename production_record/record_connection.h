// One connection to the record, for the thread that made it (Qt SQL connections belong
// to their thread), and the transactions that keep two benches from taking one number.
#pragma once

#include "record_target.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace production_record {

class RecordConnection {
public:
    enum class Mode { ReadWrite, ReadOnly };

    explicit RecordConnection(RecordTarget target, Mode mode = Mode::ReadWrite);
    ~RecordConnection();
    RecordConnection(const RecordConnection&) = delete;
    RecordConnection& operator=(const RecordConnection&) = delete;

    // Opens it once; later calls return at once. Why it cannot be opened, or nothing.
    std::optional<QString> open();
    QSqlDatabase& database() { return m_database; }
    const RecordTarget& target() const { return m_target; }
    bool isPostgres() const { return m_target.kind == RecordTarget::Kind::Postgres; }

    // A transaction that holds the record's write lock from its start: SQLite's immediate
    // transaction (waiting out other writers up to the busy timeout); on PostgreSQL an
    // ordinary one, whose statements take the row locks they need.
    bool beginWriting();
    bool commit();
    void rollback();

    // The last error of the connection, or of `failed` when given, for people.
    QString errorText(const QString& failed = {}) const;

private:
    bool run(const QString& statement);
    bool switchToWriteAheadLog();

    RecordTarget m_target;
    Mode m_mode;
    QString m_name;
    QSqlDatabase m_database;
    bool m_opened = false;
    // Why the last statement of run() failed; the database's own error does not tell.
    QString m_statementError;
};

} // namespace production_record
