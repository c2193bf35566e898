// cordelo-cli writing to many modules at once against one module alone: each module is
// a cordelo-virtual-module process on its own pseudo-terminal, and the command runs as
// its own process, so that its processor time is its own.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <vector>

namespace bench {

struct CliScaleRuns {
    std::vector<std::chrono::duration<double, std::milli>> oneTime;
    std::vector<std::chrono::duration<double, std::milli>> allTime;
    std::vector<std::chrono::duration<double, std::milli>> oneCpu;
    std::vector<std::chrono::duration<double, std::milli>> allCpu;
};

// cordelo-virtual-module processes, each keeping the settings alone, ended with SIGTERM and
// waited for when the set goes, however a measurement ends.
class ModuleProcesses {
public:
    explicit ModuleProcesses(QString program) : m_program(std::move(program)) {}
    ~ModuleProcesses();
    ModuleProcesses(const ModuleProcesses&) = delete;
    ModuleProcesses& operator=(const ModuleProcesses&) = delete;

    // One more, with these fault options: its device, or empty when it did not start.
    QString start(const QStringList& faults = {});
    // `count` more in one process (--count), so that many modules are not as many processes
    // on the cores the tool measured uses: their devices, or empty when they did not start.
    QStringList startSeveral(int count, const QStringList& faults = {});

private:
    QString m_program;
    QTemporaryDir m_logs;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// `directory` holds cordelo-cli and cordelo-virtual-module; the modules run in one process.
// Runs that failed are left out.
CliScaleRuns MeasureCliScale(const QString& directory, int modules, int runs);

} // namespace bench
