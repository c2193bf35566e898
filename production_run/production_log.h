// The record of a run: one CSV line per module, appended, each line written whole so
// that an interrupted run loses no earlier line.
#pragma once

#include "module_job.h"

#include <QFile>

#include <mutex>

namespace production_run {

class ProductionLog {
public:
    // Opens the file for appending, and gives a new file its header line; false (see
    // errorString()) when it cannot be.
    bool open(const QString& path);
    QString errorString() const { return m_file.errorString(); }
    bool isOpen() const { return m_file.isOpen(); }

    // time, port, device, device address, firmware, result, exit, the acknowledged keys,
    // the failed or mismatched keys, then each [Module] key as last read from the module.
    void append(const ModuleOutcome& outcome);

private:
    void writeLine(const QStringList& fields);

    std::mutex m_mutex;
    QFile m_file;
};

// One CSV field: quoted when it holds a separator (a comma, or the semicolon some
// spreadsheets split on), a quote or a line break.
QString CsvField(const QString& text);

} // namespace production_run
