#include "cli_scale.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

#include <memory>

#include <sys/resource.h>

namespace bench {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;
constexpr int kStartTimeoutMs = 5000;
constexpr int kLookAgainMs = 20;
constexpr int kRunTimeoutMs = 60000;

Milliseconds ChildrenCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Wall and processor time of one cordelo-cli write, or nothing when it failed.
bool TimeWrite(const QString& program, const QStringList& devices, Milliseconds& wall,
               Milliseconds& cpu) {
    QStringList arguments{QStringLiteral("write"), QStringLiteral("--set"),
                          QStringLiteral("name=Bench-{n}")};
    for (const QString& device : devices)
        arguments << QStringLiteral("--port") << device;
    QProcess cli;
    const Milliseconds cpuBefore = ChildrenCpu();
    const auto start = std::chrono::steady_clock::now();
    cli.start(program, arguments);
    if (!cli.waitForFinished(kRunTimeoutMs) || cli.exitCode() != 0)
        return false;
    wall = std::chrono::steady_clock::now() - start;
    cpu = ChildrenCpu() - cpuBefore;
    return true;
}

} // namespace

ModuleProcesses::~ModuleProcesses() {
    for (const auto& process : m_processes)
        process->terminate();
    for (const auto& process : m_processes)
        process->waitForFinished(kStartTimeoutMs);
}

QString ModuleProcesses::start(const QStringList& faults) {
    const QStringList devices = startSeveral(1, faults);
    return devices.isEmpty() ? QString() : devices.constFirst();
}

QStringList ModuleProcesses::startSeveral(int count, const QStringList& faults) {
    QProcess& module = *m_processes.emplace_back(std::make_unique<QProcess>());
    // Into a file: a pipe that nobody reads while the tool is measured fills up, and a module
    // that waits to print its log answers late.
    const QString log = m_logs.filePath(QStringLiteral("modules%1.log").arg(m_processes.size()));
    module.setStandardOutputFile(log);
    module.start(m_program, QStringList{QStringLiteral("--no-map"), QStringLiteral("--count"),
                                        QString::number(count)} +
                                faults);
    QFile output(log);
    QElapsedTimer waited;
    waited.start();
    while (!waited.hasExpired(kStartTimeoutMs) && module.state() != QProcess::NotRunning) {
        if (output.open(QIODevice::ReadOnly)) {
            const QString text = QString::fromUtf8(output.readAll());
            output.close();
            if (text.contains(QLatin1String("ready"))) {
                static const QRegularExpression device(QStringLiteral("device (\\S+)$"),
                                                       QRegularExpression::MultilineOption);
                QStringList devices;
                for (const QRegularExpressionMatch& match : device.globalMatch(text))
                    devices << match.captured(1);
                return devices.size() == count ? devices : QStringList();
            }
        }
        QThread::msleep(kLookAgainMs);
    }
    return {};
}

CliScaleRuns MeasureCliScale(const QString& directory, int modules, int runs) {
    ModuleProcesses processes(directory + QStringLiteral("/cordelo-virtual-module"));
    QStringList devices;
    for (int i = 0; i < modules; ++i) {
        const QString device = processes.start();
        if (device.isEmpty())
            return {};
        devices << device;
    }
    const QString cli = directory + QStringLiteral("/cordelo-cli");
    CliScaleRuns scale;
    for (int run = 0; run < runs; ++run) {
        Milliseconds wall{};
        Milliseconds cpu{};
        if (TimeWrite(cli, devices.mid(0, 1), wall, cpu)) {
            scale.oneTime.push_back(wall);
            scale.oneCpu.push_back(cpu);
        }
        if (TimeWrite(cli, devices, wall, cpu)) {
            scale.allTime.push_back(wall);
            scale.allCpu.push_back(cpu);
        }
    }
    return scale;
}

} // namespace bench
