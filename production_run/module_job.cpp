#include "module_job.h"

#include "outcome_report.h"
#include "port_watch.h"
#include "stderr_message_box.h"

#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "module_protocol/settings_write.h"
#include "platform/qt_pacing.h"
#include "platform/port_names.h"
#include "platform/qt_settings_store.h"
#include "platform/tracing_serial_port.h"
#include "serial_link/port_session.h"
#include "production_record/printable_text.h"

#include <chrono>
#include <memory>

namespace production_run {
namespace {

// The exchange itself, on an open port.
class Exchange {
public:
    Exchange(modComm::Link& link, ModuleOutcome& outcome, const StepReport& step)
        : m_link(link), m_outcome(outcome), m_step(step) {}

    // `seen`, when given, is what a watch of the port already learnt of the module.
    void run(const ModuleJob& job, const Sighting* seen = nullptr) {
        m_interrupted = job.interrupted;
        m_step(QStringLiteral("checking the module"));
        if (seen)
            m_outcome.firmware = seen->firmware;
        if (stopped() || !(seen ? checked(seen->check) : checkModule()))
            return;
        if (job.verb == Verb::Reset) {
            if (!mayChange(job))
                return;
            m_step(QStringLiteral("resetting the module"));
            modComm::SendCommand(m_link, modProg::ComposeCommand(modProg::Command::Reset));
            return;
        }
        m_step(QStringLiteral("reading the settings"));
        const std::optional<profile::Profile> current =
            seen && seen->profile ? seen->profile : query();
        if (!current)
            return;
        m_outcome.deviceAddress = current->device.address;
        m_outcome.before = current->module;
        if (job.verb == Verb::Read) {
            m_outcome.settings = current->module;
            return;
        }
        if (holdsAlready(job, current->module))
            return;
        const auto overlay = job.overlay ? job.overlay(m_outcome) : profile::ModuleSettings{};
        if (const auto* refusal = std::get_if<Refusal>(&overlay)) {
            fail(refusal->status, refusal->message);
            return;
        }
        const modProg::SettingsToWrite wanted = profile::LayOver(
            profile::LayOver({}, current->module), std::get<profile::ModuleSettings>(overlay));
        m_outcome.settings = current->module;
        m_outcome.sent = profile::SettingsFromWrite(wanted);
        if (!checkWritable(wanted) || !mayChange(job) || stopped() || !write(wanted, job) ||
            !job.verify)
            return;
        // The write is complete: Ctrl-C from here on only skips the check of it, and a write
        // that was not checked is no success.
        if (m_interrupted != nullptr && m_interrupted->load()) {
            fail(ExitStatus::Interrupted,
                 QStringLiteral("interrupted before the verifying query; the write was not "
                                "verified"));
            return;
        }
        m_step(QStringLiteral("verifying"));
        if (const std::optional<profile::Profile> after = query()) {
            m_outcome.found = after->module;
            m_outcome.settings = after->module;
            compare(profile::SettingsFromWrite(wanted), after->module);
        } else if (m_outcome.status == ExitStatus::Interrupted) {
            m_outcome.message = QStringLiteral("interrupted during the verifying query; the write "
                                               "was not verified");
        }
    }

private:
    // Between steps only: a command is never cut off half sent.
    bool stopped() {
        if (m_interrupted == nullptr || !m_interrupted->load())
            return false;
        return !fail(ExitStatus::Interrupted, QStringLiteral("interrupted"));
    }

    // A module that holds every value a write would give it is left as it is.
    bool holdsAlready(const ModuleJob& job, const profile::ModuleSettings& current) {
        const std::optional<profile::ModuleSettings> known =
            job.known ? job.known(m_outcome) : std::nullopt;
        if (!known)
            return false;
        const profile::ModuleSettings wanted =
            profile::SettingsFromWrite(profile::LayOver(profile::LayOver({}, current), *known));
        // As the verifying query compares: only what the write would send.
        for (const QString& key : profile::kModuleKeys) {
            const std::optional<QString> want = profile::ModuleKeyText(wanted, key);
            if (want && want != profile::ModuleKeyText(current, key))
                return false;
        }
        m_outcome.settings = current;
        m_outcome.held = true;
        return true;
    }

    bool mayChange(const ModuleJob& job) {
        const std::optional<Refusal> refusal = job.beforeChange ? job.beforeChange() : std::nullopt;
        return !refusal || fail(refusal->status, refusal->message);
    }

    bool fail(ExitStatus status, const QString& message) {
        m_outcome.status = status;
        m_outcome.message = message;
        return false;
    }

    bool checkModule() {
        const modProg::ModuleCheck check = modProg::CheckModule(m_link, m_outcome.firmware);
        return !stopped() && checked(check);
    }

    bool checked(modProg::ModuleCheck check) {
        if (check == modProg::ModuleCheck::NoReply) {
            m_outcome.silent = true;
            return fail(ExitStatus::NoReply, QStringLiteral("no module answered"));
        }
        if (check == modProg::ModuleCheck::InvalidFirmware) {
            return fail(ExitStatus::BadFirmware,
                        QStringLiteral("unsupported firmware %1; it must be v1.1 or v2.0")
                            .arg(Quoted(m_outcome.firmware)));
        }
        return true;
    }

    std::optional<profile::Profile> query() {
        if (stopped())
            return std::nullopt;
        const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_link);
        if (reply.fieldsReceived < modProg::kFieldCount) {
            if (stopped())
                return std::nullopt;
            fail(ExitStatus::NoReply,
                 QStringLiteral("the module sent %1 of the %2 fields of its settings")
                     .arg(reply.fieldsReceived)
                     .arg(modProg::kFieldCount));
            return std::nullopt;
        }
        if (const std::optional<QString> damage = modProg::ReplyDamage(reply)) {
            fail(ExitStatus::NoReply, production_record::PrintableText(*damage));
            return std::nullopt;
        }
        return profile::ProfileFromReply(reply);
    }

    // Nothing outside the profile's rules is sent, wherever it came from: the profile and
    // --set were checked when read, so what fails here is the module's own value (a name
    // set by another tool, a baud rate the lists do not hold), which the write would
    // otherwise send back unchecked.
    bool checkWritable(const modProg::SettingsToWrite& wanted) {
        const profile::ModuleSettings sent = profile::SettingsFromWrite(wanted);
        for (const QString& key : profile::kModuleKeys) {
            const std::optional<QString> value = profile::ModuleKeyText(sent, key);
            profile::ModuleSettings scratch;
            const auto error = value ? profile::SetModuleKey(scratch, key, *value) : std::nullopt;
            if (error) {
                return fail(ExitStatus::Usage,
                            QStringLiteral("the module holds %1=%2, which cannot be written "
                                           "back (%3); give %1 in the profile or with --set")
                                .arg(key, Quoted(*value), error->rule));
            }
        }
        return true;
    }

    bool write(const modProg::SettingsToWrite& wanted, const ModuleJob& job) {
        const QList<modProg::WriteStep> sequence = modProg::WriteSequence(wanted);
        const auto acknowledge = [this, &sequence, &job](qsizetype commands) {
            m_outcome.written.clear();
            for (const modProg::WriteStep& step : sequence.first(commands))
                m_outcome.written << profile::ModuleKeyOf(step.setting);
            if (job.acknowledged && commands > 0)
                job.acknowledged(m_outcome, sequence.size());
        };
        qsizetype sent = 0;
        const qsizetype acknowledged = modProg::WriteAcknowledged(
            m_link, wanted, [this, &sent, &acknowledge](qsizetype command, qsizetype commands) {
                sent = command;
                // The command before this one was acknowledged.
                acknowledge(command - 1);
                m_step(QStringLiteral("writing %1 of %2").arg(command).arg(commands));
            });
        if (acknowledged == sequence.size()) {
            // The verifying query may still take a second.
            acknowledge(acknowledged);
            return true;
        }
        m_outcome.written.clear();
        for (const modProg::WriteStep& step : sequence.first(acknowledged))
            m_outcome.written << profile::ModuleKeyOf(step.setting);
        m_outcome.writeCutShort = true;
        // Every command sent was acknowledged: Ctrl-C stopped the write between two.
        if (sent == acknowledged) {
            return fail(ExitStatus::Interrupted,
                        QStringLiteral("interrupted after %1 of %2 settings were written and "
                                       "acknowledged; nothing after them was sent")
                            .arg(acknowledged)
                            .arg(sequence.size()));
        }
        m_outcome.failed << profile::ModuleKeyOf(sequence[acknowledged].setting);
        return fail(ExitStatus::NotAcknowledged,
                    QStringLiteral("%1 was not acknowledged (command %2 of %3); nothing after it "
                                   "was sent")
                        .arg(m_outcome.failed.constFirst())
                        .arg(acknowledged + 1)
                        .arg(sequence.size()));
    }

    void compare(const profile::ModuleSettings& wanted, const profile::ModuleSettings& found) {
        QStringList lines;
        for (const QString& key : profile::kModuleKeys) {
            const std::optional<QString> want = profile::ModuleKeyText(wanted, key);
            const QString have = profile::ModuleKeyText(found, key).value_or(QString());
            if (!want || *want == have)
                continue;
            m_outcome.mismatches.append({key, *want, have});
            lines
                << QStringLiteral("%1: wanted %2, found %3").arg(key, Quoted(*want), Quoted(have));
        }
        if (lines.isEmpty()) {
            m_outcome.verified = true;
            return;
        }
        fail(ExitStatus::Mismatch,
             QStringLiteral("the module holds other values than were written: ") +
                 lines.join(QStringLiteral("; ")));
    }

    modComm::Link& m_link;
    ModuleOutcome& m_outcome;
    const StepReport& m_step;
    const std::atomic<bool>* m_interrupted = nullptr;
};

} // namespace

ModuleOutcome RunModuleJobOn(modComm::Link& link, const QString& device, const ModuleJob& job,
                             const Sighting& seen, const StepReport& step) {
    const auto started = std::chrono::steady_clock::now();
    ModuleOutcome outcome;
    outcome.port = job.port;
    outcome.device = device;
    // The watch's waits run to their end; the job's end early on a stop.
    const std::atomic<bool>* watching = std::exchange(link.stop, job.interrupted);
    Exchange(link, outcome, step).run(job, &seen);
    link.stop = watching;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return outcome;
}

ModuleOutcome RunModuleJob(const ModuleJob& job, platform::SerialTrace* trace,
                           const StepReport& step) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();

    platform::QtSettingsStore settings;
    const int number = platform::PortNumberOf(job.port);
    const std::unique_ptr<platform::SerialPort> opened = job.ports->make(job.port, settings);
    std::unique_ptr<platform::TracingSerialPort> traced;
    if (trace)
        traced = std::make_unique<platform::TracingSerialPort>(*opened, *trace);
    platform::SerialPort& port = traced ? static_cast<platform::SerialPort&>(*traced) : *opened;
    StderrMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    modComm::Link link{platform, {}, modComm::WaitStyle::OnData, job.interrupted};

    ModuleOutcome outcome;
    outcome.port = job.port;
    outcome.device = port.deviceFor(number);
    step(QStringLiteral("opening %1").arg(outcome.device));
    if (!modComm::OpenLine(link, number)) {
        outcome.status = ExitStatus::OpenFailed;
        outcome.message =
            QStringLiteral("cannot open %1\n%2").arg(job.port, port.errorDescription());
    } else {
        Exchange(link, outcome, step).run(job);
        modComm::ClosePort(link);
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return outcome;
}

} // namespace production_run
