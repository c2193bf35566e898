#include "listing_output.h"

#include "production_run/outcome_report.h"
#include "production_run/production_log.h"
#include "production_record/printable_text.h"

#include <QJsonDocument>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace cli {
namespace {

using production_record::RecordRow;
using production_run::CsvField;

// The rows whose texts set the widths of the columns for people. A longer text further down
// widens its column from there on: a listing of a million rows is not held to measure it.
constexpr int kWidthRows = 1000;

// Spreadsheets take a CSV file for UTF-8 by its byte order mark; without it one of them reads
// "Tür" as "TÃ¼r".
constexpr QChar kByteOrderMark(0xfeff);

const QStringList kCsvHeader = {QStringLiteral("time"),
                                QStringLiteral("local_time"),
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

const QStringList kPeopleHeader = {QStringLiteral("TIME"),     QStringLiteral("BENCH"),
                                   QStringLiteral("COMMAND"),  QStringLiteral("PORT"),
                                   QStringLiteral("ADDRESS"),  QStringLiteral("FIRMWARE"),
                                   QStringLiteral("RESULT"),   QStringLiteral("UNIT"),
                                   QStringLiteral("SETTINGS"), QStringLiteral("MESSAGE")};

QString UnitText(const RecordRow& row) {
    return row.unit ? QString::number(*row.unit) : QString();
}

QStringList CsvFields(const RecordRow& row) {
    // Local time as spreadsheets read a date and time, without the zone they do not read.
    return {row.time.toUTC().toString(Qt::ISODateWithMs),
            row.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
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

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& field : fields)
        quoted << CsvField(field);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

// The settings written (or read), then what the run told, at the end of the line.
QStringList PeopleFields(const RecordRow& row) {
    QString result = row.result;
    if (!row.problemKeys.isEmpty())
        result += QLatin1Char('(') + row.problemKeys.join(QLatin1Char(',')) + QLatin1Char(')');
    const auto& settings = row.acknowledged ? row.acknowledged : row.before;
    // A module that never told its address is an entry of its own, and says so.
    const QString address = row.deviceAddress.isEmpty()
                                ? QStringLiteral("no address")
                                : production_record::PrintableText(row.deviceAddress);
    return {LocalTime(row.time),
            production_record::PrintableText(row.bench),
            row.command,
            production_record::PrintableText(row.port),
            address,
            production_record::PrintableText(row.firmware),
            result,
            UnitText(row),
            production_record::PrintableText(production_record::SettingsLine(settings)),
            production_record::PrintableText(row.message)};
}

} // namespace

QString LocalTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int minutes = local.offsetFromUtc() / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           (minutes < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(std::abs(minutes) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

ListingOutput::ListingOutput(QTextStream& out, Form form) : m_out(out), m_form(form) {
    if (m_form == Form::Csv)
        m_out << kByteOrderMark << CsvLine(kCsvHeader);
    else if (m_form == Form::People)
        m_held << kPeopleHeader;
}

bool ListingOutput::add(const RecordRow& row) {
    ++m_rows;
    switch (m_form) {
    case Form::Json:
        m_out << QJsonDocument(production_record::RowJson(row)).toJson(QJsonDocument::Compact)
              << '\n';
        break;
    case Form::Csv:
        m_out << CsvLine(CsvFields(row));
        break;
    case Form::People:
        if (m_widths.isEmpty()) {
            m_held << PeopleFields(row);
            if (m_rows == kWidthRows)
                printHeldLines();
        } else {
            printLine(PeopleFields(row));
        }
        return true;
    }
    // The first line is on its way at once; the rest in the stream's own blocks.
    if (m_rows == 1)
        m_out.flush();
    return true;
}

void ListingOutput::finish() {
    if (m_form == Form::People && m_widths.isEmpty())
        printHeldLines();
    m_out.flush();
}

void ListingOutput::printHeldLines() {
    m_widths = QList<qsizetype>(kPeopleHeader.size(), 0);
    for (const QStringList& line : m_held) {
        for (qsizetype column = 0; column < line.size(); ++column)
            m_widths[column] = std::max(m_widths[column], line[column].size());
    }
    for (const QStringList& line : std::exchange(m_held, {}))
        printLine(line);
    m_out.flush();
}

// Columns a person reads down; nothing trails a line, however many last columns are empty.
void ListingOutput::printLine(const QStringList& line) {
    QString text;
    for (qsizetype column = 0; column + 1 < line.size(); ++column) {
        m_widths[column] = std::max(m_widths[column], line[column].size());
        text += line[column].leftJustified(m_widths[column] + 2);
    }
    text += line.constLast();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    m_out << text << '\n';
}

} // namespace cli
