#include "record_command.h"

#include "production_record/record_listing.h"
#include "production_run/exit_status.h"
#include "production_run/outcome_report.h"
#include "production_run/production_log.h"

#include <QJsonDocument>

#include <algorithm>

namespace cli {
namespace {

using namespace production_run;

using production_record::RecordRow;

const QStringList kCsvHeader = {QStringLiteral("time"),
                                QStringLiteral("bench"),
                                QStringLiteral("command"),
                                QStringLiteral("port"),
                                QStringLiteral("device"),
                                QStringLiteral("device_address"),
                                QStringLiteral("firmware"),
                                QStringLiteral("result"),
                                QStringLiteral("exit"),
                                QStringLiteral("unit"),
                                QStringLiteral("settings_before"),
                                QStringLiteral("settings_acknowledged"),
                                QStringLiteral("settings_verified"),
                                QStringLiteral("problem_keys")};

QString UnitText(const RecordRow& row) {
    return row.unit ? QString::number(*row.unit) : QString();
}

QStringList CsvFields(const RecordRow& row) {
    return {row.time.toUTC().toString(Qt::ISODateWithMs),
            row.bench,
            row.command,
            row.port,
            row.device,
            row.deviceAddress,
            row.firmware,
            row.result,
            QString::number(row.exitStatus),
            UnitText(row),
            production_record::SettingsLine(row.before),
            production_record::SettingsLine(row.acknowledged),
            production_record::SettingsLine(row.verified),
            row.problemKeys.join(QLatin1Char(';'))};
}

// Columns a person reads down, and the settings written (or read) at the end of the line.
void PrintForPeople(QTextStream& out, const QList<RecordRow>& rows) {
    QList<QStringList> lines{
        {QStringLiteral("TIME (UTC)"), QStringLiteral("BENCH"), QStringLiteral("COMMAND"),
         QStringLiteral("PORT"), QStringLiteral("ADDRESS"), QStringLiteral("FIRMWARE"),
         QStringLiteral("RESULT"), QStringLiteral("UNIT"), QStringLiteral("SETTINGS")}};
    for (const RecordRow& row : rows) {
        QString result = row.result;
        if (!row.problemKeys.isEmpty())
            result += QLatin1Char('(') + row.problemKeys.join(QLatin1Char(',')) + QLatin1Char(')');
        const auto& settings = row.acknowledged ? row.acknowledged : row.before;
        lines << QStringList{row.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             row.bench,
                             row.command,
                             row.port,
                             Printable(row.deviceAddress),
                             Printable(row.firmware),
                             result,
                             UnitText(row),
                             Printable(production_record::SettingsLine(settings))};
    }
    QList<qsizetype> widths(lines.first().size(), 0);
    for (const QStringList& line : lines) {
        for (qsizetype column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    }
    for (const QStringList& line : lines) {
        QString text;
        for (qsizetype column = 0; column + 1 < line.size(); ++column)
            text += line[column].leftJustified(widths[column] + 2);
        out << text << line.constLast() << '\n';
    }
}

} // namespace

int RunRecordListing(const Invocation& invocation, Console& console) {
    const auto parsed = production_record::ParseRecordTarget(invocation.recordTarget);
    if (const auto* refusal = std::get_if<QString>(&parsed)) {
        console.err << "cordelo-cli: " << *refusal << '\n';
        return static_cast<int>(ExitStatus::Usage);
    }
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(parsed),
        production_record::RecordConnection::Mode::ReadOnly);
    const auto listed = production_record::ListRows(
        connection, {invocation.since, invocation.address, invocation.result});
    if (const auto* error = std::get_if<QString>(&listed)) {
        console.err << "cordelo-cli: " << *error << '\n';
        return static_cast<int>(ExitStatus::RecordFailed);
    }
    const QList<RecordRow>& rows = std::get<QList<RecordRow>>(listed);
    if (invocation.json) {
        for (const RecordRow& row : rows)
            console.out
                << QJsonDocument(production_record::RowJson(row)).toJson(QJsonDocument::Compact)
                << '\n';
    } else if (invocation.csv) {
        console.out << kCsvHeader.join(QLatin1Char(',')) << "\r\n";
        for (const RecordRow& row : rows) {
            QStringList fields = CsvFields(row);
            for (QString& field : fields)
                field = CsvField(field);
            console.out << fields.join(QLatin1Char(',')) << "\r\n";
        }
    } else {
        PrintForPeople(console.out, rows);
    }
    console.out.flush();
    return static_cast<int>(ExitStatus::Done);
}

} // namespace cli
