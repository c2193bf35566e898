#include "cli_run.h"

#include "command_line.h"
#include "progress_display.h"
#include "label_command.h"
#include "record_command.h"

#include "platform/machine_ports.h"
#include "platform/port_names.h"
#include "production_run/outcome_report.h"
#include "production_run/port_listing.h"
#include "production_run/production_run.h"
#include "production_record/printable_text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace cli {
namespace {

using namespace production_run;

void PrintJson(Console& console, const QJsonObject& object) {
    console.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    console.out.flush();
}

int Refuse(Console& console, const Invocation& invocation, const QString& message) {
    console.err << "cordelo-cli: " << message << '\n';
    if (invocation.json) {
        ModuleOutcome outcome;
        outcome.port = invocation.ports.value(0);
        outcome.status = ExitStatus::Usage;
        outcome.message = message;
        PrintJson(console, OutcomeJson(outcome));
    }
    return static_cast<int>(ExitStatus::Usage);
}

// The result on stdout, the failure on stderr; several profiles read at once are told
// apart by a comment naming the port. With --json, stdout holds the objects alone.
void PrintResult(Console& console, const Invocation& invocation, bool several,
                 const ModuleOutcome& outcome) {
    console.err << FailureText(outcome) << LabelText(outcome) << Qt::flush;
    if (invocation.json)
        return;
    const Verb verb = invocation.verb;
    if (several && verb == Verb::Read && outcome.status == ExitStatus::Done)
        console.out << "; " << outcome.port << '\n';
    console.out << ResultText(verb, outcome) << Qt::flush;
}

int RunPorts(const Invocation& invocation, Console& console, const platform::PortSource& source) {
    const QList<PortEntry> entries = ListPorts(source);
    if (entries.isEmpty() && !invocation.json)
        console.err << "cordelo-cli: no port opens a device on this machine\n";
    // Every port is probed on its own thread, so that silent ports cost one wait in all.
    std::vector<std::optional<ModuleOutcome>> probes(entries.size());
    if (invocation.probe) {
        if (console.showSteps)
            console.err << "probing " << entries.size() << " ports\n" << Qt::flush;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int index = 0; index < entries.size(); ++index) {
            const ModuleJob job{Verb::Read, entries[index].port, {},
                                false,      console.interrupted, &source};
            threads.emplace_back(QThread::create([&probes, index, job] {
                probes[index] = RunModuleJob(job, nullptr, [](const QString&) {});
            }));
            threads.back()->start();
        }
        for (const auto& thread : threads)
            thread->wait();
    }
    for (int index = 0; index < entries.size(); ++index) {
        const PortEntry& entry = entries[index];
        const std::optional<ModuleOutcome>& probe = probes[index];
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
            console.out << "\tmodule " << production_record::PrintableText(probe->firmware) << " \""
                        << production_record::PrintableText(name) << '"';
        else if (probe)
            console.out << "\tno module (" << probe->message.section('\n', 0, 0) << ')';
        console.out << '\n' << Qt::flush;
    }
    const bool interrupted = std::any_of(probes.begin(), probes.end(), [](const auto& probe) {
        return probe && probe->status == ExitStatus::Interrupted;
    });
    return static_cast<int>(interrupted ? ExitStatus::Interrupted : ExitStatus::Done);
}

// The run as the terminal shows it: live lines while modules work, each result as it comes
// (or, with live lines, once every module is done).
class ConsoleEvents : public RunEvents {
public:
    ConsoleEvents(Console& console, const Invocation& invocation, const QStringList& ports)
        : m_console(console), m_invocation(invocation), m_several(ports.size() > 1),
          m_progress(console.err, console.showSteps, ports, console.columns) {}

    const ProgressDisplay& progress() const { return m_progress; }

    void moduleBegan(int, const QString&) override {}

    void stepTaken(int module, const QString& step) override { m_progress.show(module, step); }

    void recordWarned(int, const QString& port, const QString& warning) override {
        std::lock_guard lock(m_mutex);
        m_console.err << "cordelo-cli: " << port << ": " << warning << '\n' << Qt::flush;
    }

    void moduleFinished(int module, const ModuleOutcome& outcome) override {
        m_progress.show(module, outcome.message.isEmpty()
                                    ? QStringLiteral("done")
                                    : outcome.message.section(QLatin1Char('\n'), 0, 0));
        // Told once its label is printed, with it.
        if (!outcome.labelComing)
            tell(outcome);
    }

    void labelPrinted(int, const ModuleOutcome& outcome) override { tell(outcome); }

private:
    void tell(const ModuleOutcome& outcome) {
        std::lock_guard lock(m_mutex);
        if (m_invocation.json) {
            m_progress.printAbove(
                m_console.out,
                QString::fromUtf8(
                    QJsonDocument(OutcomeJson(outcome)).toJson(QJsonDocument::Compact)) +
                    QLatin1Char('\n'));
        }
        // The live lines own the terminal until every module has finished.
        if (!m_progress.isLive())
            PrintResult(m_console, m_invocation, m_several, outcome);
    }

    Console& m_console;
    const Invocation& m_invocation;
    const bool m_several;
    ProgressDisplay m_progress;
    std::mutex m_mutex;
};

int RunOnModules(const Invocation& invocation, Console& console,
                 const platform::PortSource& source) {
    QStringList ports = invocation.ports;
    if (invocation.all) {
        for (const PortEntry& entry : ListPorts(source))
            ports << entry.port;
        if (ports.isEmpty()) {
            console.err << "cordelo-cli: no port opens a device on this machine\n";
            return static_cast<int>(ExitStatus::NoReply);
        }
    }
    // A COM name is kept before a path to the same device, so that {com} has its value.
    ports = OnePerDevice(InCountingOrder(ports), source);

    ProductionRun run(source, console.interrupted);
    if (const auto refusal = run.prepare(invocation, static_cast<int>(ports.size())))
        return Refuse(console, invocation, *refusal);
    ConsoleEvents events(console, invocation, ports);
    const std::vector<ModuleOutcome> outcomes = run.provisionAll(ports, events);

    if (!invocation.recordTarget.isEmpty()) {
        for (const QString& note : run.spoolNotes())
            console.err << "cordelo-cli: " << note << '\n';
    }
    int status = 0;
    int answered = 0;
    for (const ModuleOutcome& outcome : outcomes) {
        if (events.progress().isLive())
            PrintResult(console, invocation, true, outcome);
        status = std::max(status, static_cast<int>(outcome.status));
        answered += outcome.silent || outcome.status == ExitStatus::OpenFailed ? 0 : 1;
    }
    if (invocation.all && answered < std::max(invocation.expect, 1)) {
        console.err << "cordelo-cli: "
                    << (invocation.expect > 0 ? QStringLiteral("%1 modules answered, %2 expected\n")
                                                    .arg(answered)
                                                    .arg(invocation.expect)
                                              : QStringLiteral("no module answered on any port\n"));
        status = std::max(status, static_cast<int>(ExitStatus::NoReply));
    }
    return status;
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
    if (parsed.invocation->verb == Verb::Record)
        return RunRecordListing(*parsed.invocation, console);
    if (parsed.invocation->verb == Verb::Label)
        return RunLabelReprint(*parsed.invocation, console);
    const platform::MachinePorts machine(console.tree);
    const platform::PortSource* source =
        parsed.invocation->simulatedModule ? console.simulated : &machine;
    if (source == nullptr) {
        console.err << "cordelo-cli: this program was built without a simulated module\n";
        return static_cast<int>(ExitStatus::Usage);
    }
    if (parsed.invocation->verb == Verb::Ports)
        return RunPorts(*parsed.invocation, console, *source);
    return RunOnModules(*parsed.invocation, console, *source);
}

} // namespace cli
