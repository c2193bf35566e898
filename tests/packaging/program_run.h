// Runs an outside program (cpack, dpkg-deb, the validators, the installed tools) to its end
// and keeps what it printed, for the packaging tests.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>

namespace packaging_tests {

struct ProgramRun {
    bool started = false;
    bool finished = false;
    bool crashed = false;
    int exitCode = -1;
    QString output; // standard output and standard error, in the order they came

    bool succeeded() const { return finished && exitCode == 0; }
    // For failure messages: what ran and what it said.
    QString describe(const QString& program) const;
};

// Waits at most `limit` for the program; one that overruns it is killed and not `finished`.
ProgramRun
RunProgram(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Whether `program` is found on the PATH.
bool HaveProgram(const QString& program);

} // namespace packaging_tests
