// Rows the record could not take after a module was written or its label printed: kept in a
// local file of that record's own, shared by every program on the machine, and written to the
// record as soon as it answers again, so that no written unit or label goes unrecorded.
#pragma once

#include "label_rows.h"
#include "record_row.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <variant>

namespace production_record {

class RecordSpool {
public:
    explicit RecordSpool(QString path) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }

    // Keeps the row for the target named by `targetKey`; why even that failed, or nothing. The
    // file's lock is held only while a line is written or the file rewritten, never while the
    // record is waited for; a run that cannot have it keeps the row in a file of its own
    // beside the spool, which the next replay takes in.
    std::optional<QString> keep(const QString& targetKey, const RecordRow& row);
    std::optional<QString> keep(const QString& targetKey, const LabelRow& label);

    struct Replayed {
        int stored = 0;
        // Lines that are no row (cut short by a full disk or a crash), moved aside to
        // tornPath() rather than dropped.
        int torn = 0;
        // Rows the record refuses, each moved aside to refusedPath() with why, so that they
        // hold up no other row; the reason of the last.
        int refused = 0;
        QString refusal;
    };
    // Writes every row kept for this connection's target to it and drops them from the
    // file: how many, or why not (the file then keeps the rows not stored). Rows kept
    // meanwhile by other runs stay in it. Label rows are stored after the module rows, and
    // only once none of those waits, so that a unit's rows are in the record before its label.
    std::variant<Replayed, QString> replay(RecordConnection& connection);

    // How many rows wait for the target, label rows too.
    int waiting(const QString& targetKey);
    QString tornPath() const { return m_path + QStringLiteral(".torn"); }
    QString refusedPath() const { return m_path + QStringLiteral(".refused"); }

private:
    // `id` names the line's own file while the spool is locked.
    std::optional<QString> keepLine(const QByteArray& line, const QString& id);
    // The files of rows kept while the spool was locked.
    QStringList sideFiles() const;

    QString m_path;
    // Threads of one run; other runs on the machine are kept out by a lock file.
    std::mutex m_mutex;
};

// Where the rows of this record are kept: a file of its own in the data folder that
// cordelo-cli has always used, named after the record without anything secret, so that every
// run of every program on it finds them, whatever its --log.
QString SpoolPath(const RecordTarget& target);
// Where earlier versions kept them: beside the CSV log, one file in this program's data
// folder, or a spool of this program's own.
QStringList FormerSpoolPaths(const QString& logPath, const RecordTarget& target);

} // namespace production_record
