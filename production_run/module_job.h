// One module on one port: open it as the window does, check it, and read, write (with
// its verifying query) or reset it, waiting for data rather than polling.
#pragma once

#include "exit_status.h"
#include "job.h"

#include "label_print/label_outcome.h"
#include "module_profile/profile.h"
#include "platform/port_source.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <variant>

namespace platform {
class SerialTrace;
}
namespace modComm {
struct Link;
}

namespace production_run {

struct Mismatch {
    QString key;
    QString wanted;
    QString found;
};

struct ModuleOutcome {
    QString port;
    QString device;
    ExitStatus status = ExitStatus::Done;
    // Why it failed, for people; empty on success.
    QString message;
    // What the module holds as last read from it (for a write, by the verifying query
    // when there was one); absent when it was never read.
    std::optional<profile::ModuleSettings> settings;
    // What the module held before the command, what a write meant to send, and what the
    // query after the write found.
    std::optional<profile::ModuleSettings> before;
    std::optional<profile::ModuleSettings> sent;
    std::optional<profile::ModuleSettings> found;
    QString deviceAddress;
    QString firmware;
    // The unit number the record gave the module, when it gave one.
    std::optional<int> unit;
    // The [Module] key of the command that was not acknowledged.
    QStringList failed;
    QList<Mismatch> mismatches;
    // The [Module] keys whose commands the module acknowledged, in the order sent.
    QStringList written;
    // True once a query after the write found every written setting.
    bool verified = false;
    // Nothing answered a single ping: with --all, an empty port rather than a failure.
    bool silent = false;
    // The module already held all a write would give it, and was not written.
    bool held = false;
    // The record could not take its row now, and it waits in the spool.
    bool rowSpooled = false;
    // The write stopped before its last command was acknowledged: the module holds some of
    // what was sent and some of what it held.
    bool writeCutShort = false;
    double seconds = 0;
    // The time its row in the record gives it (a write's, when its row was begun); set by the
    // record, invalid without one.
    QDateTime time;
    // The module passed a job that prints labels: its label is printed beside the next module,
    // and told by RunEvents::labelPrinted.
    bool labelComing = false;
    // Where its label went, or why not, once printed.
    std::optional<label_print::LabelPrint> label;
};

// Why a module is not written, decided before its first write command.
struct Refusal {
    ExitStatus status = ExitStatus::Usage;
    QString message;
};

// What a write lays over the module's own settings, made once the module has been checked
// and read (its device address, firmware and settings are in the outcome so far); or why the
// values are refused for this module.
using OverlayFor =
    std::function<std::variant<profile::ModuleSettings, Refusal>(const ModuleOutcome& sofar)>;
// What the module should already hold if it was provisioned before, asked before the overlay;
// nothing when that cannot be known (no unit yet, say), and the module is written.
using KnownOverlayFor =
    std::function<std::optional<profile::ModuleSettings>(const ModuleOutcome& sofar)>;

struct ModuleJob {
    Verb verb = Verb::Read;
    QString port;
    OverlayFor overlay;
    bool verify = true;
    // Set from outside to stop the job at its next step.
    const std::atomic<bool>* interrupted = nullptr;
    // Where the port comes from; it must outlive the job.
    const platform::PortSource* ports = nullptr;
    // Asked before the first command that changes the module (the write or the reset):
    // why it must not be sent, or nothing.
    std::function<std::optional<Refusal>()> beforeChange = nullptr;
    // Unset, every module is written.
    KnownOverlayFor known = nullptr;
    // Told during a write each time the module has acknowledged more of it: `sofar.written`
    // holds the keys acknowledged, in the order sent, of the write's `commands`.
    std::function<void(const ModuleOutcome& sofar, qsizetype commands)> acknowledged = nullptr;
};

// Says what the job is doing now, such as "checking the module".
using StepReport = std::function<void(const QString& step)>;

ModuleOutcome RunModuleJob(const ModuleJob& job, platform::SerialTrace* trace,
                           const StepReport& step);

struct Sighting;
// The same on a link a watch holds open, going on from what the watch already learnt of the
// module; the link stays open.
ModuleOutcome RunModuleJobOn(modComm::Link& link, const QString& device, const ModuleJob& job,
                             const Sighting& seen, const StepReport& step);

} // namespace production_run
