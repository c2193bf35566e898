#include "cli_run.h"

#include "address_owners.h"
#include "command_line.h"
#include "module_job.h"
#include "outcome_report.h"
#include "overlay_source.h"
#include "port_listing.h"
#include "production_log.h"
#include "progress_display.h"
#include "record_command.h"
#include "run_record.h"
#include "values_list.h"

#include "platform/qt_pacing.h"
#include "platform/serial_trace.h"
#include "virtual_module/simulated_serial_port.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

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
    console.err << FailureText(outcome) << Qt::flush;
    if (invocation.json)
        return;
    const Verb verb = invocation.verb;
    if (several && verb == Verb::Read && outcome.status == ExitStatus::Done)
        console.out << "; " << outcome.port << '\n';
    console.out << ResultText(verb, outcome) << Qt::flush;
}

// The ports in the order {n} counts them: COM numbers upwards, then device paths as given.
QStringList InCountingOrder(QStringList ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const QString& a, const QString& b) {
        const int left = PortNumberOf(a);
        const int right = PortNumberOf(b);
        return left > 0 && (right == 0 || left < right);
    });
    return ports;
}

// One simulated module for the whole run, so that what a write sets its verifying query reads.
virtual_module::SimulatedModule* SimulatedModuleFor(const Invocation& invocation) {
    static virtual_module::SimulatedModule module;
    return invocation.simulatedModule ? &module : nullptr;
}

int RunPorts(const Invocation& invocation, Console& console) {
    const QList<PortEntry> entries = ListPorts(console.tree, invocation.simulatedModule);
    if (entries.isEmpty() && !invocation.json)
        console.err << "cordelo-cli: no port opens a device on this machine\n";
    // Every port is probed on its own thread, so that silent ports cost one wait in all.
    std::vector<std::optional<ModuleOutcome>> probes(entries.size());
    if (invocation.probe) {
        if (console.showSteps)
            console.err << "probing " << entries.size() << " ports\n" << Qt::flush;
        std::vector<std::unique_ptr<QThread>> threads;
        for (int index = 0; index < entries.size(); ++index) {
            const ModuleJob job{
                Verb::Read,   entries[index].port,           {}, false, console.interrupted,
                console.tree, SimulatedModuleFor(invocation)};
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
            console.out << "\tmodule " << Printable(probe->firmware) << " \"" << Printable(name)
                        << '"';
        else if (probe)
            console.out << "\tno module (" << probe->message.section('\n', 0, 0) << ')';
        console.out << '\n' << Qt::flush;
    }
    const bool interrupted = std::any_of(probes.begin(), probes.end(), [](const auto& probe) {
        return probe && probe->status == ExitStatus::Interrupted;
    });
    return static_cast<int>(interrupted ? ExitStatus::Interrupted : ExitStatus::Done);
}

// Every module at the same time, each on its own thread with its own port, so that a
// slow or silent one holds up no other.
int RunOnModules(const Invocation& invocation, Console& console) {
    QStringList ports = invocation.ports;
    if (invocation.all) {
        for (const PortEntry& entry : ListPorts(console.tree, invocation.simulatedModule))
            ports << entry.port;
        if (ports.isEmpty()) {
            console.err << "cordelo-cli: no port opens a device on this machine\n";
            return static_cast<int>(ExitStatus::NoReply);
        }
    }
    // A COM name is kept before a path to the same device, so that {com} has its value.
    ports = OnePerDevice(InCountingOrder(ports), console.tree, invocation.simulatedModule);

    OverlaySource overlays;
    if (const auto refusal = overlays.load(invocation.profilePath, invocation.sets))
        return Refuse(console, invocation, *refusal);
    if (const auto refusal = overlays.checkBeforeAnyPort(invocation.first))
        return Refuse(console, invocation, *refusal);
    const bool recording = !invocation.recordTarget.isEmpty();
    if (overlays.usesUnit() && !recording) {
        return Refuse(console, invocation,
                      QStringLiteral("{unit} needs --record: unit numbers come from the "
                                     "production record's counter"));
    }
    ValuesList values;
    if (!invocation.valuesPath.isEmpty()) {
        if (const auto refusal = values.load(invocation.valuesPath))
            return Refuse(console, invocation, *refusal);
    }

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
    ProductionLog log;
    if (!invocation.logPath.isEmpty() && !log.open(invocation.logPath)) {
        return Refuse(console, invocation,
                      QStringLiteral("cannot append to the log %1: %2")
                          .arg(invocation.logPath, log.errorString()));
    }

    RunRecord record;
    if (recording) {
        if (const auto refusal = record.open(invocation, overlays.usesUnit(),
                                             invocation.valuesPath.isEmpty() ? nullptr : &values,
                                             static_cast<int>(ports.size()), console.interrupted))
            return Refuse(console, invocation, *refusal);
    }

    ProgressDisplay progress(console.err, console.showSteps, ports, console.columns);
    std::mutex outputMutex;
    std::vector<ModuleOutcome> outcomes(ports.size());
    const auto finish = [&](int index, ModuleOutcome& outcome) {
        if (log.isOpen())
            log.append(outcome);
        progress.show(index, outcome.message.isEmpty()
                                 ? QStringLiteral("done")
                                 : outcome.message.section(QLatin1Char('\n'), 0, 0));
        std::lock_guard lock(outputMutex);
        if (invocation.json) {
            progress.printAbove(
                console.out,
                QString::fromUtf8(
                    QJsonDocument(OutcomeJson(outcome)).toJson(QJsonDocument::Compact)) +
                    QLatin1Char('\n'));
        }
        // The live lines own the terminal until every module has finished.
        if (!progress.isLive())
            PrintResult(console, invocation, ports.size() > 1, outcome);
    };

    AddressOwners addresses;
    // What the record could not keep, told once the module is done.
    const auto warn = [&](const QString& port, const QString& warning) {
        std::lock_guard lock(outputMutex);
        console.err << "cordelo-cli: " << port << ": " << warning << '\n' << Qt::flush;
    };

    // QThreads, since a serial port needs a thread that Qt knows for its notifiers.
    std::vector<std::unique_ptr<QThread>> threads;
    for (int index = 0; index < ports.size(); ++index) {
        const QString port = ports[index];
        threads.emplace_back(QThread::create([&, index, port] {
            ModuleJob job{invocation.verb,
                          port,
                          {},
                          invocation.verify,
                          console.interrupted,
                          console.tree,
                          SimulatedModuleFor(invocation)};
            if (recording) {
                job.beforeChange = [&record] { return record.ready(); };
            }
            job.overlay =
                [&](const ModuleOutcome& sofar) -> std::variant<profile::ModuleSettings, Refusal> {
                UnitValues filled{PortNumberOf(port), LastFourHexDigits(sofar.deviceAddress),
                                  invocation.first + index};
                profile::ModuleSettings valuesRow;
                if (recording) {
                    if (const auto other = addresses.take(sofar.deviceAddress, port)) {
                        return Refusal{ExitStatus::Usage,
                                       QStringLiteral("the module answers with the device "
                                                      "address %1, as the module on %2 does; the "
                                                      "record knows a unit by its address, so "
                                                      "this one was not written")
                                           .arg(Printable(sofar.deviceAddress), *other)};
                    }
                    const auto claimed = record.claim(index, sofar);
                    if (const auto* refusal = std::get_if<Refusal>(&claimed))
                        return *refusal;
                    const auto& taken = std::get<production_record::UnitClaim>(claimed);
                    filled.unit = taken.unit.value_or(0);
                    if (taken.valuesRow)
                        valuesRow = values.row(*taken.valuesRow);
                }
                const auto overlay = overlays.forUnit(filled, valuesRow);
                if (const auto* refusal = std::get_if<QString>(&overlay))
                    return Refusal{ExitStatus::Usage, *refusal};
                return std::get<profile::ModuleSettings>(overlay);
            };
            ModuleOutcome& outcome = outcomes[index];
            outcome = RunModuleJob(job, trace.get(),
                                   [&](const QString& step) { progress.show(index, step); });
            // Every port on the machine is not every port with a module: an onboard UART with
            // nothing on it is no failure of the run, nor of the record.
            if (invocation.all && outcome.silent) {
                outcome.status = ExitStatus::Done;
                outcome.message = QStringLiteral("empty: nothing answered");
            }
            if (recording) {
                if (const auto warning = record.keep(index, invocation.verb, outcome))
                    warn(port, *warning);
            }
            finish(index, outcome);
        }));
        threads.back()->start();
    }
    for (const auto& thread : threads)
        thread->wait();
    trace.reset();

    if (recording) {
        for (const QString& note : record.spoolNotes())
            console.err << "cordelo-cli: " << note << '\n';
    }
    int status = 0;
    int answered = 0;
    for (const ModuleOutcome& outcome : outcomes) {
        if (progress.isLive())
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
    if (parsed.invocation->verb == Verb::Ports)
        return RunPorts(*parsed.invocation, console);
    if (parsed.invocation->verb == Verb::Record)
        return RunRecordListing(*parsed.invocation, console);
    return RunOnModules(*parsed.invocation, console);
}

} // namespace cli
