// A station's job saved as a file and opened again: `cordelo-station JOB.ini` runs it.
#pragma once

#include "production_run/job.h"

#include <QString>

#include <optional>
#include <variant>

namespace station {

// The job the file describes (a write), with its relative paths, ports given by a path among
// them, made relative to the file's folder; or why it cannot be read, naming the file (and the
// line, where one line is wrong).
std::variant<production_run::Job, QString> ReadJobFile(const QString& path);
// Saves the job's profile, ports, placeholders, values list, record, bench, verify, log, trace
// and label, a path within the file's folder relative to it: why it could not, or nothing.
std::optional<QString> WriteJobFile(const QString& path, const production_run::Job& job);

} // namespace station
