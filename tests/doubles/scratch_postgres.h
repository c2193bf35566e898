// A private PostgreSQL server of Debian's postgresql package in a scratch folder, reached
// only through a Unix socket there, for the tests and the bench; stopped when destroyed.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace doubles {

class ScratchPostgres {
public:
    ScratchPostgres() = default;
    ~ScratchPostgres();
    ScratchPostgres(const ScratchPostgres&) = delete;
    ScratchPostgres& operator=(const ScratchPostgres&) = delete;

    // initdb and pg_ctl start, as the postgres user when run as root; false (see
    // errorText()) when the server is not installed or does not start.
    bool start();
    // Starts a server that start() made and stop() stopped, on the same data.
    bool restart();
    void stop();
    // Stops every process of the server (SIGSTOP) as a hung machine would: connections stay
    // open and nothing answers; thaw() lets them go on. False when they cannot be found.
    bool freeze();
    void thaw();

    // Makes an empty database; false when the server refused.
    bool createDatabase(const QString& name);
    // The --record URL of a database on this server.
    QString url(const QString& database) const;
    QString errorText() const { return m_error; }

private:
    bool run(const QString& program, const QStringList& arguments);
    // The server's processes, the postmaster first.
    QList<int> processes() const;
    bool signalAll(int signal) const;

    QTemporaryDir m_dir{QStringLiteral("/tmp/cordelo-pg-XXXXXX")};
    bool m_running = false;
    QString m_error;
};

} // namespace doubles
