#include "scratch_postgres.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <QDir>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace doubles {
namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");
// Any number: with no TCP listener it only names the socket file.
constexpr int kPort = 5432;
constexpr int kCommandTimeoutMs = 60000;

} // namespace

ScratchPostgres::~ScratchPostgres() {
    stop();
}

bool ScratchPostgres::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // initdb and the server refuse to run as root.
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                  QStringLiteral("--"), kBin + program} +
                          arguments);
    else
        process.start(kBin + program, arguments);
    if (!process.waitForFinished(kCommandTimeoutMs) || process.exitCode() != 0) {
        m_error = program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll()) +
                  process.errorString();
        return false;
    }
    return true;
}

bool ScratchPostgres::start() {
    if (!QFile::exists(kBin + QStringLiteral("initdb"))) {
        m_error = QStringLiteral("PostgreSQL 15 is not installed (scripts/install-deps.sh)");
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* postgres = ::getpwnam("postgres");
        if (postgres == nullptr || ::chown(QFile::encodeName(m_dir.path()).constData(),
                                           postgres->pw_uid, postgres->pw_gid) != 0) {
            m_error = QStringLiteral("cannot give the scratch folder to the postgres user");
            return false;
        }
    }
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-A"),
              QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8")}))
        return false;
    return restart();
}

bool ScratchPostgres::restart() {
    const QString options =
        QStringLiteral("-k %1 -p %2 -c listen_addresses=''").arg(m_dir.path()).arg(kPort);
    m_running = run(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                     QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                     QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("start")});
    return m_running;
}

void ScratchPostgres::stop() {
    if (!m_running)
        return;
    thaw();
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
         QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = false;
}

QList<int> ScratchPostgres::processes() const {
    QFile pidFile(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!m_running || !pidFile.open(QIODevice::ReadOnly))
        return {};
    const int postmaster = pidFile.readLine().trimmed().toInt();
    if (postmaster <= 0)
        return {};
    QList<int> found{postmaster};
    // Its children, by the parent each one's /proc/PID/stat names after "(name)".
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == postmaster)
            found << entry.toInt();
    }
    return found;
}

bool ScratchPostgres::signalAll(int signal) const {
    const QList<int> pids = processes();
    for (const int pid : pids)
        ::kill(pid, signal);
    return !pids.isEmpty();
}

bool ScratchPostgres::freeze() {
    return signalAll(SIGSTOP);
}

void ScratchPostgres::thaw() {
    signalAll(SIGCONT);
}

bool ScratchPostgres::createDatabase(const QString& name) {
    const QString connection = QStringLiteral("scratch-postgres-admin");
    bool made = false;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        database.setHostName(m_dir.path());
        database.setPort(kPort);
        database.setUserName(QStringLiteral("postgres"));
        database.setDatabaseName(QStringLiteral("postgres"));
        made = database.open() &&
               QSqlQuery(database).exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
        if (!made)
            m_error = database.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return made;
}

QString ScratchPostgres::url(const QString& database) const {
    return QStringLiteral("postgresql://postgres@localhost/%1?host=%2&port=%3")
        .arg(database, m_dir.path())
        .arg(kPort);
}

} // namespace doubles
