#include "production_log.h"

#include "outcome_report.h"

#include <QDateTime>

#include <algorithm>

namespace production_run {

QString CsvField(const QString& text) {
    static const QString special = QStringLiteral(",;\"\n\r");
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return special.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool ProductionLog::open(const QString& path) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (m_file.size() == 0) {
        writeLine(QStringList{"time", "port", "device", "device_address", "firmware", "result",
                              "exit", "written", "failed"} +
                  profile::kModuleKeys);
    }
    return true;
}

void ProductionLog::append(const ModuleOutcome& outcome) {
    QStringList keys = outcome.failed;
    for (const Mismatch& mismatch : outcome.mismatches)
        keys << mismatch.key;
    QStringList fields = {
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
        outcome.port,
        outcome.device,
        outcome.deviceAddress,
        outcome.firmware,
        ResultName(outcome),
        QString::number(static_cast<int>(outcome.status)),
        outcome.written.join(QLatin1Char(' ')),
        keys.join(QLatin1Char(' ')),
    };
    for (const QString& key : profile::kModuleKeys) {
        fields << (outcome.settings ? profile::ModuleKeyText(*outcome.settings, key).value_or("")
                                    : QString());
    }
    writeLine(fields);
}

void ProductionLog::writeLine(const QStringList& fields) {
    QStringList line;
    for (const QString& field : fields)
        line << CsvField(field);
    const QByteArray bytes = (line.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
    std::lock_guard lock(m_mutex);
    m_file.write(bytes);
    m_file.flush();
}

} // namespace production_run
