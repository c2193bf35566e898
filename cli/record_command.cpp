#include "record_command.h"

#include "listing_output.h"
#include "production_record/bench_spellings.h"
#include "production_record/record_listing.h"
#include "production_record/record_summary.h"
#include "production_record/summary_page.h"
#include "production_record/summary_tables.h"
#include "production_record/values_lists_left.h"
#include "production_run/exit_status.h"
#include "production_run/outcome_report.h"
#include "production_run/production_log.h"
#include "production_record/printable_text.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace cli {
namespace {

using namespace production_run;

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

// The tables with the titles people read, and every text of the record printable.
QList<QStringList> ForPeople(QList<QStringList> table) {
    for (QString& title : table.first())
        title = title.toUpper().replace(QLatin1Char('_'), QLatin1Char(' '));
    for (qsizetype line = 1; line < table.size(); ++line) {
        for (QString& field : table[line])
            field = production_record::PrintableText(field);
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
    const auto failed = [&console](const QString& error, ExitStatus status) {
        console.err << "cordelo-cli: " << error << '\n';
        return static_cast<int>(status);
    };
    const auto parsed = production_record::ParseRecordTarget(invocation.recordTarget);
    if (const auto* refusal = std::get_if<QString>(&parsed))
        return failed(*refusal, ExitStatus::Usage);
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(parsed),
        production_record::RecordConnection::Mode::ReadOnly,
        {invocation.recordTimeout, console.interrupted});
    const auto filter = production_record::BenchAsRecorded(connection, invocation.recordFilter);
    if (const auto* error = std::get_if<production_record::BenchUnknown>(&filter))
        return failed(error->message, error->usage ? ExitStatus::Usage : ExitStatus::RecordFailed);
    const auto& asked = std::get<production_record::RecordFilter>(filter);
    const auto status = [&connection](ExitStatus otherwise) {
        return connection.wasInterrupted() ? ExitStatus::Interrupted : otherwise;
    };
    if (invocation.lists) {
        std::variant<QList<production_record::ValuesListLeft>, QString> listed;
        const auto error = connection.read([&]() -> std::optional<QString> {
            listed = production_record::ListValuesLeft(connection);
            if (const auto* why = std::get_if<QString>(&listed))
                return *why;
            return std::nullopt;
        });
        if (error)
            return failed(*error, status(ExitStatus::RecordFailed));
        production_record::RecordSummary summary;
        summary.lists = std::get<QList<production_record::ValuesListLeft>>(listed);
        PrintSummary(invocation, console.out, summary);
        console.out.flush();
        return static_cast<int>(ExitStatus::Done);
    }
    if (!invocation.summary) {
        ListingOutput output(console.out, invocation.json  ? ListingOutput::Form::Json
                                          : invocation.csv ? ListingOutput::Form::Csv
                                                           : ListingOutput::Form::People);
        // Ctrl-C ends a long listing after the row it is on.
        const std::atomic<bool>* interrupted = console.interrupted;
        const auto stopped = [interrupted] {
            return interrupted != nullptr && interrupted->load();
        };
        const auto error =
            production_record::EachRow(connection, asked, [&output, &stopped](const auto& row) {
                return !stopped() && output.add(row);
            });
        if (error)
            return failed(*error, status(ExitStatus::RecordFailed));
        output.finish();
        if (stopped())
            return failed(QStringLiteral("interrupted; the listing is not complete"),
                          ExitStatus::Interrupted);
        return static_cast<int>(ExitStatus::Done);
    }
    std::variant<production_record::RecordSummary, QString> summed;
    // The summary reads in a transaction of its own, which a lock may hold up: it is tried
    // again, as a listing is, within the wait limit.
    const auto error = connection.read([&]() -> std::optional<QString> {
        summed = production_record::SummariseRecord(connection, asked);
        if (const auto* why = std::get_if<QString>(&summed))
            return *why;
        return std::nullopt;
    });
    if (error)
        return failed(*error, status(ExitStatus::RecordFailed));
    const auto& summary = std::get<production_record::RecordSummary>(summed);
    if (invocation.htmlPath.isEmpty())
        PrintSummary(invocation, console.out, summary);
    else if (const auto written = WritePage(invocation, summary))
        return failed(*written, ExitStatus::Usage);
    console.out.flush();
    return static_cast<int>(ExitStatus::Done);
}

} // namespace cli
