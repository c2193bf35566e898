#include "module_job.h"

#include "outcome_report.h"
#include "stderr_message_box.h"

#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "module_protocol/settings_write.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"
#include "platform/tracing_serial_port.h"
#include "serial_link/port_session.h"

#include <QRegularExpression>

#include <chrono>
#include <memory>

namespace cli {
namespace {

// The exchange itself, on an open port.
class Exchange {
public:
    Exchange(modComm::Link& link, ModuleOutcome& outcome, const StepReport& step)
        : m_link(link), m_outcome(outcome), m_step(step) {}

    void run(const ModuleJob& job) {
        m_interrupted = job.interrupted;
        m_step(QStringLiteral("checking the module"));
        if (stopped() || !checkModule() || stopped())
            return;
        if (job.verb == Verb::Reset) {
            if (!mayChange(job))
                return;
            m_step(QStringLiteral("resetting the module"));
            modComm::SendCommand(m_link, modProg::ComposeCommand(modProg::Command::Reset));
            return;
        }
        m_step(QStringLiteral("reading the settings"));
        const std::optional<profile::Profile> current = query();
        if (!current)
            return;
        m_outcome.deviceAddress = current->device.address;
        m_outcome.before = current->module;
        if (job.verb == Verb::Read) {
            m_outcome.settings = current->module;
            return;
        }
        const auto overlay =
            job.overlay ? job.overlay(current->device.address) : profile::ModuleSettings{};
        if (const auto* refusal = std::get_if<Refusal>(&overlay)) {
            fail(refusal->status, refusal->message);
            return;
        }
        const modProg::SettingsToWrite wanted = profile::LayOver(
            profile::LayOver({}, current->module), std::get<profile::ModuleSettings>(overlay));
        m_outcome.settings = current->module;
        m_outcome.sent = profile::SettingsFromWrite(wanted);
        if (!checkWritable(wanted) || !mayChange(job) || stopped() || !write(wanted) ||
            !job.verify || stopped())
            return;
        m_step(QStringLiteral("verifying"));
        if (const std::optional<profile::Profile> after = query()) {
            m_outcome.found = after->module;
            m_outcome.settings = after->module;
            compare(profile::SettingsFromWrite(wanted), after->module);
        }
    }

private:
    // Between steps only: a command is never cut off half sent.
    bool stopped() {
        if (m_interrupted == nullptr || !m_interrupted->load())
            return false;
        return !fail(ExitStatus::Interrupted, QStringLiteral("interrupted"));
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
        if (check == modProg::ModuleCheck::NoReply)
            return fail(ExitStatus::NoReply, QStringLiteral("no module answered"));
        if (check == modProg::ModuleCheck::InvalidFirmware) {
            return fail(ExitStatus::BadFirmware,
                        QStringLiteral("unsupported firmware \"%1\"; it must be v1.1 or v2.0")
                            .arg(Printable(m_outcome.firmware)));
        }
        return true;
    }

    std::optional<profile::Profile> query() {
        const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_link);
        if (reply.fieldsReceived < modProg::kFieldCount) {
            fail(ExitStatus::NoReply,
                 QStringLiteral("the module sent %1 of the %2 fields of its settings")
                     .arg(reply.fieldsReceived)
                     .arg(modProg::kFieldCount));
            return std::nullopt;
        }
        return profile::ProfileFromReply(reply);
    }

    // The window refuses to write while a list has no entry chosen; so does this, when
    // the module reported a value its list does not hold and nothing replaced it.
    bool checkWritable(const modProg::SettingsToWrite& wanted) {
        const std::pair<QString, QString> listed[] = {
            {QStringLiteral("baud"), wanted.baudRate},
            {QStringLiteral("stop_bits"), wanted.stopBits},
            {QStringLiteral("parity"), wanted.parityLetter}};
        for (const auto& [key, value] : listed) {
            profile::ModuleSettings scratch;
            if (const auto error = profile::SetModuleKey(scratch, key, value)) {
                return fail(ExitStatus::Usage,
                            QStringLiteral("the module holds %1=\"%2\", which cannot be written "
                                           "back (%3); give %1 in the profile or with --set")
                                .arg(key, value, error->rule));
            }
        }
        return true;
    }

    bool write(const modProg::SettingsToWrite& wanted) {
        const QList<modProg::WriteStep> sequence = modProg::WriteSequence(wanted);
        const qsizetype acknowledged = modProg::WriteAcknowledged(
            m_link, wanted, [this](qsizetype command, qsizetype commands) {
                m_step(QStringLiteral("writing %1 of %2").arg(command).arg(commands));
            });
        for (const modProg::WriteStep& step : sequence.first(acknowledged))
            m_outcome.written << profile::ModuleKeyOf(step.setting);
        if (acknowledged == sequence.size())
            return true;
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
            lines << QStringLiteral("%1: wanted \"%2\", found \"%3\"")
                         .arg(key, Printable(*want), Printable(have));
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

int PortNumberOf(const QString& port) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

ModuleOutcome RunModuleJob(const ModuleJob& job, platform::SerialTrace* trace,
                           const StepReport& step) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();

    platform::QtSettingsStore settings;
    platform::QtSerialPort qtPort(settings);
    const int number = PortNumberOf(job.port);
    if (number == 0)
        qtPort.setDevicePath(job.port);
    std::unique_ptr<platform::TracingSerialPort> traced;
    if (trace)
        traced = std::make_unique<platform::TracingSerialPort>(qtPort, *trace);
    platform::SerialPort& port = traced ? static_cast<platform::SerialPort&>(*traced) : qtPort;
    StderrMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    modComm::Link link{platform, {}, modComm::WaitStyle::OnData};

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

} // namespace cli
