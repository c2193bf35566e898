#include "window_words.h"

#include "production_run/production_run.h"

namespace station {

QString InTheWindowsWords(const QString& refusal) {
    if (refusal == production_run::kUnitNeedsRecord)
        return QStringLiteral("{unit} needs a record: unit numbers come from the production "
                              "record's counter. Give the job's Record an SQLite file or a "
                              "postgresql:// address.");
    const QString printer = QStringLiteral("--printer: ");
    if (refusal.startsWith(printer))
        return QStringLiteral("Labels go to the printer: ") + refusal.mid(printer.size());
    return refusal;
}

} // namespace station
