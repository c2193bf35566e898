#include "cli_timings.h"

#include "platform/machine_ports.h"
#include "production_run/module_job.h"
#include "platform/printable_bytes.h"
#include "platform/qt_pacing.h"
#include "platform/serial_trace.h"

#include "virtual_module/virtual_module.h"

#include <QBuffer>

namespace bench {
namespace {

// The bytes a trace shows on the line, both ways, counted from its escaped text.
long long BytesOnTheLine(const QByteArray& trace) {
    const QList<QByteArrayView> prefixes = {"  sent     ", "  received "};
    long long bytes = 0;
    for (const QByteArray& line : trace.split('\n')) {
        for (const QByteArrayView prefix : prefixes) {
            const qsizetype at = line.indexOf(prefix);
            if (at >= 0)
                bytes += static_cast<long long>(
                    platform::UnescapeBytes(line.mid(at + prefix.size()).toStdString()).size());
        }
    }
    return bytes;
}

void Measure(const production_run::ModuleJob& job, CliRuns& runs) {
    platform::QtPacing clock;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    production_run::ModuleOutcome outcome;
    {
        platform::SerialTrace trace(out, clock);
        outcome = production_run::RunModuleJob(job, &trace, [](const QString&) {});
    }
    if (outcome.status != production_run::ExitStatus::Done)
        return;
    runs.times.emplace_back(std::chrono::duration<double>(outcome.seconds));
    runs.bytes = BytesOnTheLine(out.data());
}

} // namespace

CliTimings MeasureCli(int runs) {
    virtual_module::VirtualModule module;
    if (!module.start())
        return {};
    const QString device = QString::fromStdString(module.devicePath());
    const platform::MachinePorts machine;
    CliTimings timings;
    for (int run = 0; run < runs; ++run) {
        Measure({production_run::Verb::Read, device, {}, true, nullptr, &machine}, timings.read);
        profile::ModuleSettings rename;
        rename.name = QStringLiteral("Bench-%1").arg(run);
        Measure({production_run::Verb::Write, device,
                 [rename](const production_run::ModuleOutcome&) { return rename; }, true, nullptr,
                 &machine},
                timings.write);
    }
    return timings;
}

} // namespace bench
