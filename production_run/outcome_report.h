// The outcome of one module as people read it and as --json gives it.
#pragma once

#include "module_job.h"

#include <QJsonObject>

namespace production_run {

// "empty" for a port where nothing answered under --all; otherwise ResultName().
QString ResultName(const ModuleOutcome& outcome);

// The object of --json: port, device, result, exit, settings (as last read from the
// module), device_address, firmware, written (the acknowledged keys), failed, mismatched,
// seconds, the message when something failed, and with a label, label: printed, file and
// the reason it was not printed.
QJsonObject OutcomeJson(const ModuleOutcome& outcome);

// What stdout shows on success: the profile that was read, or one line saying what
// was done. Empty after a failure.
QString ResultText(Verb verb, const ModuleOutcome& outcome);

// A value in a message, between quotes: printable, with a quote or backslash inside it escaped
// (\" and \\), so that `wanted "Tür, \"2\""` reads as one value wherever it is read.
QString Quoted(const QString& text);

// What stderr shows after a failure, one line per fact; empty on success.
QString FailureText(const ModuleOutcome& outcome);

// What stderr shows of the module's label: where it was printed, or loudly, why not; empty
// without one.
QString LabelText(const ModuleOutcome& outcome);

} // namespace production_run
