#include "cli_run.h"

#include "command_line.h"
#include "module_job.h"
#include "outcome_report.h"
#include "port_listing.h"

#include "platform/qt_pacing.h"
#include "platform/serial_trace.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace cli {
namespace {

void PrintJson(Console& console, const QJsonObject& object) {
    console.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    console.out.flush();
}

int Refuse(Console& console, const Invocation& invocation, const QString& message) {
    console.err << "cordelo-cli: " << message << '\n';
    if (invocation.json) {
        ModuleOutcome outcome;
        outcome.port = invocation.port;
        outcome.status = ExitStatus::Usage;
        outcome.message = message;
        PrintJson(console, OutcomeJson(outcome));
    }
    return static_cast<int>(ExitStatus::Usage);
}

// The profile file and every --set laid over each other, or why they are refused.
std::optional<QString> GatherOverlay(const Invocation& invocation,
                                     profile::ModuleSettings& overlay) {
    if (!invocation.profilePath.isEmpty()) {
        QFile file(invocation.profilePath);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        const auto parsed = profile::ParseProfile(file.readAll());
        if (const auto* error = std::get_if<profile::ProfileError>(&parsed))
            return invocation.profilePath + QStringLiteral(": ") +
                   profile::DescribeProfileError(*error);
        overlay = std::get<profile::Profile>(parsed).module;
    }
    for (const QString& set : invocation.sets) {
        const qsizetype equals = set.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return QStringLiteral("--set %1: give KEY=VALUE").arg(set);
        if (const auto error =
                profile::SetModuleKey(overlay, set.left(equals), set.mid(equals + 1)))
            return QStringLiteral("--set ") + profile::DescribeProfileError(*error);
    }
    return std::nullopt;
}

int RunPorts(const Invocation& invocation, Console& console) {
    const QList<PortEntry> entries = ListPorts();
    if (entries.isEmpty() && !invocation.json)
        console.err << "cordelo-cli: no port opens a device on this machine\n";
    for (const PortEntry& entry : entries) {
        std::optional<ModuleOutcome> probe;
        if (invocation.probe) {
            if (console.showSteps)
                console.err << entry.port << ": probing\n" << Qt::flush;
            probe =
                RunModuleJob({Verb::Read, entry.port, {}, false}, nullptr, [](const QString&) {});
        }
        const QString name =
            probe && probe->settings ? probe->settings->name.value_or(QString()) : QString();
        if (invocation.json) {
            QJsonObject object{{QStringLiteral("port"), entry.port},
                               {QStringLiteral("device"), entry.device},
                               {QStringLiteral("description"), entry.description}};
            if (probe) {
                object.insert(QStringLiteral("result"), ResultName(probe->status));
                object.insert(QStringLiteral("firmware"), probe->firmware.isEmpty()
                                                              ? QJsonValue()
                                                              : QJsonValue(probe->firmware));
                object.insert(QStringLiteral("name"),
                              probe->settings ? QJsonValue(name) : QJsonValue());
            }
            PrintJson(console, object);
            continue;
        }
        console.out << entry.port << '\t' << entry.device << '\t' << entry.description;
        if (probe && probe->status == ExitStatus::Done)
            console.out << "\tmodule " << probe->firmware << " \"" << name << '"';
        else if (probe)
            console.out << "\tno module (" << probe->message.section('\n', 0, 0) << ')';
        console.out << '\n' << Qt::flush;
    }
    return static_cast<int>(ExitStatus::Done);
}

int RunOnModule(const Invocation& invocation, Console& console) {
    ModuleJob job{invocation.verb, invocation.port, {}, invocation.verify};
    if (const auto refusal = GatherOverlay(invocation, job.overlay))
        return Refuse(console, invocation, *refusal);

    platform::QtPacing clock;
    QFile traceFile;
    std::unique_ptr<platform::SerialTrace> trace;
    if (!invocation.tracePath.isEmpty()) {
        traceFile.setFileName(invocation.tracePath);
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return Refuse(console, invocation,
                          QStringLiteral("cannot write the trace %1: %2")
                              .arg(traceFile.fileName(), traceFile.errorString()));
        }
        trace = std::make_unique<platform::SerialTrace>(traceFile, clock);
    }

    const auto step = [&](const QString& what) {
        if (console.showSteps)
            console.err << invocation.port << ": " << what << '\n' << Qt::flush;
    };
    const ModuleOutcome outcome = RunModuleJob(job, trace.get(), step);
    trace.reset();

    console.err << FailureText(outcome) << Qt::flush;
    if (invocation.json)
        PrintJson(console, OutcomeJson(outcome));
    else
        console.out << ResultText(invocation.verb, outcome) << Qt::flush;
    return static_cast<int>(outcome.status);
}

} // namespace

int RunCli(const QStringList& arguments, Console& console) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (parsed.help) {
        console.out << UsageText();
        return static_cast<int>(ExitStatus::Done);
    }
    if (parsed.version) {
        console.out << "cordelo-cli " << CORDELO_VERSION << '\n';
        return static_cast<int>(ExitStatus::Done);
    }
    if (!parsed.invocation) {
        console.err << "cordelo-cli: " << parsed.error << "\nSee cordelo-cli --help.\n";
        return static_cast<int>(ExitStatus::Usage);
    }
    if (parsed.invocation->verb == Verb::Ports)
        return RunPorts(*parsed.invocation, console);
    return RunOnModule(*parsed.invocation, console);
}

} // namespace cli
