// cordelo-cli writing to many modules at once against one module alone: each module is
// a cordelo-virtual-module process on its own pseudo-terminal, and the command runs as
// its own process, so that its processor time is its own.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

class QProcess;

namespace bench {

struct CliScaleRuns {
    std::vector<std::chrono::duration<double, std::milli>> oneTime;
    std::vector<std::chrono::duration<double, std::milli>> allTime;
    std::vector<std::chrono::duration<double, std::milli>> oneCpu;
    std::vector<std::chrono::duration<double, std::milli>> allCpu;
};

// A cordelo-virtual-module process that keeps the settings alone, with these fault options;
// its device, or empty when it did not start.
QString StartModule(QProcess& module, const QString& program, const QStringList& faults = {});

// `directory` holds cordelo-cli and cordelo-virtual-module. Runs that failed are left out.
CliScaleRuns MeasureCliScale(const QString& directory, int modules, int runs);

} // namespace bench
