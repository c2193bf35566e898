#include "summary_page.h"

#include "summary_charts.h"
#include "summary_tables.h"

#include <QRegularExpression>

namespace production_record {
namespace {

// A date is not broken at its hyphens where a cell wraps.
QString Cell(const QString& text) {
    static const QRegularExpression date(QStringLiteral(R"((\d{4})-(\d\d)-(\d\d))"));
    return PageText(text)
        .replace(date, QStringLiteral("\\1\u2011\\2\u2011\\3"))
        .replace(QStringLiteral(" | "), QStringLiteral("<br>"));
}

QString Table(const QList<QStringList>& table, const QList<int>& numeric, bool total = false) {
    QString html =
        total ? QStringLiteral("<table class=\"total\"><tr>") : QStringLiteral("<table><tr>");
    for (const QString& title : table.constFirst())
        html += QStringLiteral("<th>%1</th>").arg(PageText(QString(title).replace('_', ' ')));
    html += QStringLiteral("</tr>");
    for (qsizetype line = 1; line < table.size(); ++line) {
        html += QStringLiteral("<tr>");
        for (qsizetype column = 0; column < table[line].size(); ++column)
            html += QStringLiteral("<td%1>%2</td>")
                        .arg(numeric.contains(column) ? QStringLiteral(" class=\"n\"") : QString(),
                             Cell(table[line][column]));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString Key(const QList<std::pair<QString, QString>>& entries) {
    QString key = QStringLiteral("<p class=\"key\">");
    for (const auto& [colour, name] : entries)
        key +=
            QStringLiteral("<span style=\"background:%1\"></span>%2").arg(colour, PageText(name));
    return key + QStringLiteral("</p>");
}

QString BenchKey(const RecordSummary& summary) {
    const QStringList benches = BenchesOf(summary);
    const QStringList colours = BenchColours(benches);
    QList<std::pair<QString, QString>> entries;
    for (qsizetype index = 0; index < benches.size(); ++index)
        entries.append({colours[index], benches[index]});
    entries.append({QStringLiteral("#222"), QStringLiteral("all benches")});
    return Key(entries);
}

// The line's figures in words, above the charts.
QString Headline(const RecordSummary& summary) {
    const BenchDay& line = summary.line;
    QString text = line.units == 0
                       ? QStringLiteral("No unit was written.")
                       : QStringLiteral("%1 units: %2 first pass (%3), %4 passed later, %5 still "
                                        "failing; final yield %6.")
                             .arg(line.units)
                             .arg(line.firstPass)
                             .arg(YieldText(FirstPassYield(line)))
                             .arg(line.passedLater)
                             .arg(line.stillFailing)
                             .arg(YieldText(FinalYield(line)));
    if (line.notWritten.total() > 0)
        text +=
            QStringLiteral(" Not written, and no unit: %1.").arg(NotWrittenText(line.notWritten));
    return QStringLiteral("<p class=\"headline\">%1</p>").arg(PageText(text));
}

// The line's days and its whole period, without the benches' columns.
QList<QStringList> DayTotalsTable(const RecordSummary& summary) {
    RecordSummary totals;
    totals.days = summary.dayTotals;
    totals.dayTotals = summary.dayTotals;
    totals.line = summary.line;
    QList<QStringList> table = DayTable(totals, TableUse::People);
    for (QStringList& line : table) {
        line.removeFirst();
        line.removeLast();
    }
    table.last().first() = QStringLiteral("all days");
    return table;
}

const QString kStyle = QStringLiteral(
    "body{font-family:sans-serif;margin:1.5em auto;max-width:700px;padding:0 1em;color:#222;"
    "font-size:14px}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.1em;margin:1.4em 0 .3em}"
    ".about{color:#555;margin-top:0}.headline{font-size:1.05em}"
    "svg{max-width:100%;height:auto;display:block}"
    "table{border-collapse:collapse;margin-bottom:1.5em;font-size:12px}"
    "th,td{border:1px solid #ccc;padding:.2em .4em;text-align:left;vertical-align:top}"
    "th{font-weight:normal;background:#f3f3f3}td.n{text-align:right;white-space:nowrap}"
    "td:first-child{white-space:nowrap}"
    ".total tr:last-child td{font-weight:bold}"
    ".key{margin:.2em 0}.key span{display:inline-block;width:.9em;height:.9em;"
    "margin:0 .3em 0 1em;vertical-align:middle}.key span:first-child{margin-left:0}"
    "section{break-inside:avoid}"
    "@page{size:A4;margin:15mm}@media print{body{margin:0;max-width:none;padding:0}}");

} // namespace

QString SummaryPage(const RecordSummary& summary, const QString& about) {
    QString page =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>Production record summary</title><style>%1</style></head><body>"
                       "<h1>Production record summary</h1><p class=\"about\">%2</p>")
            .arg(kStyle, PageText(about));
    if (summary.days.isEmpty()) {
        page += QStringLiteral("<p>No module was written in these rows.</p>");
    } else {
        const QList<int> figures{2, 3, 4, 5, 6, 7};
        const QList<int> dayFigures{1, 2, 3, 4, 5, 6};
        page += Headline(summary);
        page += QStringLiteral("<section><h2>First-pass yield per day</h2>") + BenchKey(summary) +
                YieldChart(summary, true) + QStringLiteral("</section>");
        page += QStringLiteral("<section><h2>Final yield per day</h2>") +
                YieldChart(summary, false) + QStringLiteral("</section>");
        page += QStringLiteral("<section><h2>Units per day, all benches</h2>") +
                Key({{kFirstPassColour, QStringLiteral("first pass")},
                     {kPassedLaterColour, QStringLiteral("passed later")},
                     {kFailingColour, QStringLiteral("still failing")},
                     {kNotWrittenColour, QStringLiteral("not written (no unit)")}}) +
                DayTotalsChart(summary) + QStringLiteral("</section>");
        if (!summary.line.reasons.isEmpty())
            page += QStringLiteral("<section><h2>Failure reasons over the period (units)</h2>") +
                    ReasonsChart(summary) + QStringLiteral("</section>");
        if (!summary.lists.isEmpty())
            page += QStringLiteral("<section><h2>Values lists</h2>") +
                    Key({{kNotWrittenColour, QStringLiteral("rows given")},
                         {kFirstPassColour, QStringLiteral("rows left")}}) +
                    ValuesLeftChart(summary) + QStringLiteral("</section>");
        page += QStringLiteral("<h2>Totals per day</h2>") +
                Table(DayTotalsTable(summary), {1, 2, 3, 4, 5, 6}, true);
        page += QStringLiteral("<h2>Per bench and day</h2>") +
                Table(DayTable(summary, TableUse::People), figures, true);
        page += QStringLiteral(
            "<p>A unit is a module sent a write command, counted on the bench and day of its "
            "first write. First pass: that write was ok. Passed later: a later write was. Still "
            "failing: its latest write failed. Modules never written are no units.</p>");
    }
    if (!summary.lists.isEmpty())
        page += QStringLiteral("<h2>Values lists, rows</h2>") +
                Table(ListTable(summary, TableUse::People), {1, 2, 3});
    return page + QStringLiteral("</body></html>\n");
}

} // namespace production_record
