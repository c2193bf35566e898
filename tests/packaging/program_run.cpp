// Runs an outside program to its end for the packaging tests.
#include "program_run.h"

#include <QProcess>
#include <QStandardPaths>

namespace packaging_tests {

QString ProgramRun::describe(const QString& program) const {
    if (!started)
        return program + QStringLiteral(" did not start");
    if (crashed)
        return program + QStringLiteral(" crashed:\n") + output;
    if (!finished)
        return program + QStringLiteral(" did not finish in time:\n") + output;
    return program + QStringLiteral(" exited with %1:\n").arg(exitCode) + output;
}

ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      std::chrono::milliseconds limit, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    run.started = process.waitForStarted();
    if (!run.started)
        return run;
    run.finished = process.waitForFinished(static_cast<int>(limit.count()));
    if (!run.finished) {
        // Killed for overrunning, not crashed: told apart by `finished`.
        process.kill();
        process.waitForFinished();
    }
    run.output = QString::fromLocal8Bit(process.readAll());
    run.crashed = run.finished && process.exitStatus() == QProcess::CrashExit;
    if (run.finished && !run.crashed)
        run.exitCode = process.exitCode();
    return run;
}

bool HaveProgram(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace packaging_tests
