#include "exit_status.h"

namespace production_run {

QString ResultName(ExitStatus status) {
    switch (status) {
    case ExitStatus::Done:
        return QStringLiteral("ok");
    case ExitStatus::Usage:
        return QStringLiteral("usage");
    case ExitStatus::OpenFailed:
        return QStringLiteral("open_failed");
    case ExitStatus::NoReply:
        return QStringLiteral("no_reply");
    case ExitStatus::BadFirmware:
        return QStringLiteral("bad_firmware");
    case ExitStatus::NotAcknowledged:
        return QStringLiteral("not_acknowledged");
    case ExitStatus::Mismatch:
        return QStringLiteral("mismatch");
    case ExitStatus::RecordFailed:
        return QStringLiteral("record_failed");
    case ExitStatus::Unrecorded:
        return QStringLiteral("unrecorded");
    case ExitStatus::Interrupted:
        return QStringLiteral("interrupted");
    }
    Q_UNREACHABLE();
}

} // namespace production_run
