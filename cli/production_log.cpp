#include "production_log.h"

#include "outcome_report.h"

#include <QDateTime>

namespace cli {

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool ProductionLog::open(const QString& path) {
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void ProductionLog::append(const ModuleOutcome& outcome) {
    QStringList settings;
    if (outcome.written > 0 && outcome.settings) {
        for (const QString& key : profile::kModuleKeys) {
            if (const auto text = profile::ModuleKeyText(*outcome.settings, key))
                settings << key + QLatin1Char('=') + *text;
        }
    }
    QStringList keys = outcome.failed;
    for (const Mismatch& mismatch : outcome.mismatches)
        keys << mismatch.key;
    const QStringList fields = {
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
        outcome.port,
        outcome.device,
        outcome.deviceAddress,
        outcome.firmware,
        ResultName(outcome),
        QString::number(static_cast<int>(outcome.status)),
        settings.join(QLatin1Char(';')),
        keys.join(QLatin1Char(';')),
    };
    QStringList line;
    for (const QString& field : fields)
        line << CsvField(field);
    const QByteArray bytes = (line.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
    std::lock_guard lock(m_mutex);
    m_file.write(bytes);
    m_file.flush();
}

} // namespace cli
