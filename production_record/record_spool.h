// Rows the record could not take after a module was written: kept in a local file and
// written to the record on the next run, so that no written unit goes unrecorded.
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

    // Writes every row kept for this connection's target to it and drops them from the
    // file: how many, or why not (the file then keeps them all).
    std::variant<int, QString> replay(RecordConnection& connection);

private:
    QString m_path;
    // Threads of one run; other runs on the bench are kept out by a lock file.
    std::mutex m_mutex;
};

// Where the spool is kept: beside the CSV log when there is one, else in the user's data folder.
QString SpoolPath(const QString& logPath);

} // namespace production_record
