// The exit status of cordelo-cli, the same in every command, and its name in --json.
#pragma once

#include <QString>

namespace production_run {

enum class ExitStatus {
    Done = 0,
    Usage = 1,
    OpenFailed = 2,
    NoReply = 3,
    BadFirmware = 4,
    NotAcknowledged = 5,
    Mismatch = 6,
    // The production record could not be opened, read or written; no module was written
    // after it failed.
    RecordFailed = 7,
    // The module was written or reset, and its row is neither in the record nor in the
    // spool: the unit is on the line without a trace.
    Unrecorded = 8,
    // Stopped by Ctrl-C before it finished; the shell's status for a SIGINT.
    Interrupted = 130,
};

// "ok", "usage", "open_failed", "no_reply", "bad_firmware", "not_acknowledged", "mismatch",
// "record_failed", "unrecorded", "interrupted".
QString ResultName(ExitStatus status);

} // namespace production_run
