#include "written_rows.h"

#include "record_filter.h"
#include "record_schema.h"

namespace production_record {

QString WriteSentSql(int layout) {
    // These results come only from a write that began. The others may have come before any
    // command (a check, a claim) or after some: the settings acknowledged or the key that
    // failed tell. A row begun before its first write command and never completed (the bench
    // was killed) may well have had its module written: it has no message, or says that the
    // bench stopped.
    const QString cutShort =
        layout >= kMessageLayout
            ? QStringLiteral("(result = 'interrupted' AND (message = '' OR message LIKE 'the "
                             "bench stopped before%'))")
            : QStringLiteral("result = 'interrupted'");
    return QStringLiteral("(command = 'write' AND (result IN ('ok', 'mismatch', "
                          "'not_acknowledged') OR settings_acknowledged IS NOT NULL OR "
                          "problem_keys <> '' OR %1))")
        .arg(cutShort);
}

QString UnitKeySql(int layout) {
    const QString key = AddressKeyOf(layout);
    return QStringLiteral("CASE WHEN %1 = '' THEN row_id ELSE %1 END").arg(key);
}

void CountNotWritten(NotWritten& counts, const QString& result, int modules) {
    if (result == QLatin1String("no_reply") || result == QLatin1String("open_failed"))
        counts.noModule += modules;
    else if (result == QLatin1String("bad_firmware"))
        counts.badFirmware += modules;
    else if (result == QLatin1String("record_failed") || result == QLatin1String("unrecorded"))
        counts.recordFailed += modules;
    else if (result == QLatin1String("interrupted"))
        counts.stopped += modules;
    else
        counts.refused += modules;
}

} // namespace production_record
