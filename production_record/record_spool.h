// Rows the record could not take after a module was written: kept in a local file of that
// record's own and written to it on the next run, so that no written unit goes unrecorded.
#pragma once

#include "record_row.h"

#include <QString>

#include <mutex>
#include <optional>
#include <variant>

namespace production_record {

class RecordSpool {
public:
    explicit RecordSpool(QString path) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }

    // Keeps the row for the target named by `targetKey`; why even that failed, or nothing.
    std::optional<QString> keep(const QString& targetKey, const RecordRow& row);

    struct Replayed {
        int stored = 0;
        // Lines that are no row (cut short by a full disk or a crash), moved aside to
        // tornPath() rather than dropped.
        int torn = 0;
    };
    // Writes every row kept for this connection's target to it and drops them from the
    // file: how many, or why not (the file then keeps them all).
    std::variant<Replayed, QString> replay(RecordConnection& connection);

    // How many rows wait for the target.
    int waiting(const QString& targetKey);
    QString tornPath() const { return m_path + QStringLiteral(".torn"); }

private:
    QString m_path;
    // Threads of one run; other runs on the bench are kept out by a lock file.
    std::mutex m_mutex;
};

// Where the rows of this record are kept: a file of its own in the user's data folder, named
// after the record without anything secret, so that every run on it finds them, whatever
// its --log.
QString SpoolPath(const RecordTarget& target);
// Where earlier versions kept them: beside the CSV log, or one file in the data folder.
QString FormerSpoolPath(const QString& logPath);

} // namespace production_record
