#include "record_command.h"

#include "production_record/record_listing.h"
#include "production_record/record_summary.h"
#include "production_record/summary_page.h"
#include "production_record/summary_tables.h"
#include "production_record/values_lists_left.h"
#include "production_run/exit_status.h"
#include "production_run/outcome_report.h"
#include "production_run/production_log.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdlib>

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
                                QStringLiteral("problem_keys"),
                                QStringLiteral("message")};

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
            row.problemKeys.join(QLatin1Char(';')),
            row.message};
}

// Local time with its offset from UTC, so that a time read off the screen is unambiguous.
QString LocalTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int minutes = local.offsetFromUtc() / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           (minutes < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(std::abs(minutes) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

// Columns a person reads down; nothing trails a line, however many last columns are empty.
void PrintColumns(QTextStream& out, const QList<QStringList>& lines) {
    QList<qsizetype> widths(lines.first().size(), 0);
    for (const QStringList& line : lines) {
        for (qsizetype column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    }
    for (const QStringList& line : lines) {
        QString text;
        for (qsizetype column = 0; column + 1 < line.size(); ++column)
            text += line[column].leftJustified(widths[column] + 2);
        text += line.constLast();
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out << text << '\n';
    }
}

void PrintCsv(QTextStream& out, const QList<QStringList>& lines) {
    for (QStringList fields : lines) {
        for (QString& field : fields)
            field = CsvField(field);
        out << fields.join(QLatin1Char(',')) << "\r\n";
    }
}

// The settings written (or read), then what the run told, at the end of the line.
void PrintForPeople(QTextStream& out, const QList<RecordRow>& rows) {
    QList<QStringList> lines{{QStringLiteral("TIME"), QStringLiteral("BENCH"),
                              QStringLiteral("COMMAND"), QStringLiteral("PORT"),
                              QStringLiteral("ADDRESS"), QStringLiteral("FIRMWARE"),
                              QStringLiteral("RESULT"), QStringLiteral("UNIT"),
                              QStringLiteral("SETTINGS"), QStringLiteral("MESSAGE")}};
    for (const RecordRow& row : rows) {
        QString result = row.result;
        if (!row.problemKeys.isEmpty())
            result += QLatin1Char('(') + row.problemKeys.join(QLatin1Char(',')) + QLatin1Char(')');
        const auto& settings = row.acknowledged ? row.acknowledged : row.before;
        lines << QStringList{LocalTime(row.time),
                             Printable(row.bench),
                             row.command,
                             Printable(row.port),
                             Printable(row.deviceAddress),
                             Printable(row.firmware),
                             result,
                             UnitText(row),
                             Printable(production_record::SettingsLine(settings)),
                             Printable(row.message)};
    }
    PrintColumns(out, lines);
}

void PrintRows(const Invocation& invocation, QTextStream& out, const QList<RecordRow>& rows) {
    if (invocation.json) {
        for (const RecordRow& row : rows)
            out << QJsonDocument(production_record::RowJson(row)).toJson(QJsonDocument::Compact)
                << '\n';
    } else if (invocation.csv) {
        QList<QStringList> lines{kCsvHeader};
        for (const RecordRow& row : rows)
            lines << CsvFields(row);
        PrintCsv(out, lines);
    } else {
        PrintForPeople(out, rows);
    }
}

// The tables with the titles people read, and every text of the record printable.
QList<QStringList> ForPeople(QList<QStringList> table) {
    for (QString& title : table.first())
        title = title.toUpper().replace(QLatin1Char('_'), QLatin1Char(' '));
    for (qsizetype line = 1; line < table.size(); ++line) {
        for (QString& field : table[line])
            field = Printable(field);
    }
    return table;
}

// One table each: --summary --csv the benches' days, --lists --csv the values lists, so that
// a spreadsheet opens each as it stands.
void PrintSummary(const Invocation& invocation, QTextStream& out,
                  const production_record::RecordSummary& summary) {
    using production_record::TableUse;
    if (invocation.json) {
        QJsonObject object = production_record::SummaryJson(summary);
        if (invocation.lists)
            object = {
                {QStringLiteral("values_lists"), object.value(QStringLiteral("values_lists"))}};
        out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    } else if (invocation.csv) {
        // Spreadsheets take a CSV file for UTF-8 by its byte order mark, as for a listing.
        out << QChar(0xfeff);
        PrintCsv(out, invocation.lists
                          ? production_record::ListTable(summary, TableUse::Spreadsheet)
                          : production_record::DayTable(summary, TableUse::Spreadsheet));
    } else {
        const QList<QStringList> lists = production_record::ListTable(summary, TableUse::People);
        if (!invocation.lists)
            PrintColumns(out, ForPeople(production_record::DayTable(summary, TableUse::People)));
        if (lists.size() > 1 || invocation.lists) {
            if (!invocation.lists)
                out << '\n';
            PrintColumns(out, ForPeople(lists));
        }
    }
}

// The record and the rows asked for, as the page's subtitle.
QString About(const Invocation& invocation) {
    const production_record::RecordFilter& filter = invocation.recordFilter;
    QStringList parts{QStringLiteral("Record %1").arg(invocation.recordTarget)};
    if (!filter.bench.isEmpty())
        parts << QStringLiteral("bench %1").arg(filter.bench);
    if (filter.since.isValid())
        parts << QStringLiteral("from %1").arg(LocalTime(filter.since));
    if (filter.until.isValid())
        parts << QStringLiteral("to %1").arg(LocalTime(filter.until));
    QStringList results = filter.results;
    if (filter.failed)
        results << QStringLiteral("failed");
    if (!results.isEmpty())
        parts << QStringLiteral("results %1").arg(results.join(QStringLiteral(", ")));
    if (filter.unit)
        parts << QStringLiteral("unit %1").arg(*filter.unit);
    if (!filter.deviceAddress.isEmpty())
        parts << QStringLiteral("address %1").arg(filter.deviceAddress);
    parts << QStringLiteral("made %1").arg(LocalTime(QDateTime::currentDateTime()));
    return parts.join(QStringLiteral(" \u00b7 "));
}

std::optional<QString> WritePage(const Invocation& invocation,
                                 const production_record::RecordSummary& summary) {
    QFile page(invocation.htmlPath);
    if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        page.write(production_record::SummaryPage(summary, About(invocation)).toUtf8()) < 0 ||
        !page.flush())
        return QStringLiteral("cannot write %1: %2").arg(invocation.htmlPath, page.errorString());
    return std::nullopt;
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
    const auto failed = [&console](const QString& error, ExitStatus status) {
        console.err << "cordelo-cli: " << error << '\n';
        return static_cast<int>(status);
    };
    if (invocation.lists) {
        const auto listed = production_record::ListValuesLeft(connection);
        if (const auto* error = std::get_if<QString>(&listed))
            return failed(*error, ExitStatus::RecordFailed);
        production_record::RecordSummary summary;
        summary.lists = std::get<QList<production_record::ValuesListLeft>>(listed);
        PrintSummary(invocation, console.out, summary);
    } else if (!invocation.summary) {
        const auto listed = production_record::ListRows(connection, invocation.recordFilter);
        if (const auto* error = std::get_if<QString>(&listed))
            return failed(*error, ExitStatus::RecordFailed);
        PrintRows(invocation, console.out, std::get<QList<RecordRow>>(listed));
    } else {
        const auto summed = production_record::SummariseRecord(connection, invocation.recordFilter);
        if (const auto* error = std::get_if<QString>(&summed))
            return failed(*error, ExitStatus::RecordFailed);
        const auto& summary = std::get<production_record::RecordSummary>(summed);
        if (invocation.htmlPath.isEmpty())
            PrintSummary(invocation, console.out, summary);
        else if (const auto error = WritePage(invocation, summary))
            return failed(*error, ExitStatus::Usage);
    }
    console.out.flush();
    return static_cast<int>(ExitStatus::Done);
}

} // namespace cli
