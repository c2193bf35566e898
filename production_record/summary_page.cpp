#include "summary_page.h"

#include "summary_tables.h"

#include <algorithm>

namespace production_record {
namespace {

constexpr int kBarWidth = 18;
constexpr int kBarGap = 6;
// Wide enough for the day written under its bars.
constexpr int kMinimumDayWidth = 76;
constexpr int kPlotHeight = 200;
constexpr int kLeft = 44;
constexpr int kTop = 16;
constexpr int kBelow = 96;
constexpr int kRight = 16;
constexpr qsizetype kBenchLabelLength = 16;
const QString kPassedColour = QStringLiteral("#2e7d32");
const QString kFailedColour = QStringLiteral("#c62828");

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString Shortened(const QString& text) {
    return text.size() <= kBenchLabelLength ? text
                                            : text.left(kBenchLabelLength - 1) + QChar(0x2026);
}

// A round top for the scale: 1, 2 or 5 times a power of ten.
int ScaleTop(int most) {
    for (int power = 1;; power *= 10) {
        for (const int step : {1, 2, 5}) {
            if (step * power >= most)
                return step * power;
        }
    }
}

QString Rect(double x, double y, double width, double height, const QString& colour,
             const QString& title) {
    return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\">"
                          "<title>%6</title></rect>")
        .arg(x)
        .arg(y)
        .arg(width)
        .arg(height)
        .arg(colour, Escaped(title));
}

QString Chart(const RecordSummary& summary) {
    QList<QList<const BenchDay*>> byDay;
    for (const BenchDay& day : summary.days) {
        if (byDay.isEmpty() || byDay.constLast().constFirst()->day != day.day)
            byDay.append(QList<const BenchDay*>());
        byDay.last() << &day;
    }
    int most = 1;
    for (const BenchDay& day : summary.days)
        most = std::max(most, day.units);
    const int top = ScaleTop(most);
    const double perUnit = double(kPlotHeight) / top;
    const int axis = kTop + kPlotHeight;
    QString shapes;
    int x = kLeft;
    for (const QList<const BenchDay*>& benches : byDay) {
        const int width =
            std::max(kMinimumDayWidth, int(benches.size()) * (kBarWidth + kBarGap) + kBarGap);
        int barX = x + (width - int(benches.size()) * (kBarWidth + kBarGap) + kBarGap) / 2;
        for (const BenchDay* day : benches) {
            const QString title = QStringLiteral("%1, %2: %3 passed, %4 failed")
                                      .arg(day->bench, day->day.toString(Qt::ISODate))
                                      .arg(day->passed)
                                      .arg(day->failed());
            const double passed = day->passed * perUnit;
            const double failed = day->failed() * perUnit;
            shapes += Rect(barX, axis - passed, kBarWidth, passed, kPassedColour, title);
            shapes += Rect(barX, axis - passed - failed, kBarWidth, failed, kFailedColour, title);
            shapes += QStringLiteral("<text x=\"%1\" y=\"%2\" transform=\"rotate(-60 %1 %2)\" "
                                     "text-anchor=\"end\">%3</text>")
                          .arg(barX + kBarWidth / 2)
                          .arg(axis + 30)
                          .arg(Escaped(Shortened(day->bench)));
            barX += kBarWidth + kBarGap;
        }
        shapes += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\">%3</text>")
                      .arg(x + width / 2)
                      .arg(axis + 16)
                      .arg(benches.constFirst()->day.toString(Qt::ISODate));
        x += width;
    }
    QString scale;
    for (const int units : {0, top / 2, top}) {
        const double y = axis - units * perUnit;
        scale += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#ccc\"/>"
                                "<text x=\"%4\" y=\"%5\" text-anchor=\"end\">%6</text>")
                     .arg(kLeft)
                     .arg(y)
                     .arg(x)
                     .arg(kLeft - 6)
                     .arg(y + 4)
                     .arg(units);
    }
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                          "font-family=\"sans-serif\" font-size=\"11\" role=\"img\" "
                          "aria-label=\"Units per day and bench\">%3%4</svg>")
        .arg(x + kRight)
        .arg(axis + kBelow)
        .arg(scale, shapes);
}

QString Table(const QList<QStringList>& table, const QList<int>& numeric) {
    QString html = QStringLiteral("<table><tr>");
    for (const QString& title : table.constFirst())
        html += QStringLiteral("<th>%1</th>").arg(Escaped(QString(title).replace('_', ' ')));
    html += QStringLiteral("</tr>");
    for (qsizetype line = 1; line < table.size(); ++line) {
        html += QStringLiteral("<tr>");
        for (qsizetype column = 0; column < table[line].size(); ++column)
            html += QStringLiteral("<td%1>%2</td>")
                        .arg(numeric.contains(column) ? QStringLiteral(" class=\"n\"") : QString(),
                             Escaped(table[line][column])
                                 .replace(QStringLiteral(" | "), QStringLiteral("<br>")));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

const QString kStyle = QStringLiteral(
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin-bottom:1.5em}"
    "th,td{border:1px solid #ccc;padding:.25em .6em;text-align:left;vertical-align:top}"
    "td{white-space:nowrap}td:last-child{white-space:normal}td.n{text-align:right}.key "
    "span{display:inline-block;width:.9em;height:.9em;"
    "margin:0 .3em 0 1em;vertical-align:middle}");

} // namespace

QString SummaryPage(const RecordSummary& summary, const QString& about) {
    QString page =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<title>Production record summary</title><style>%1</style></head><body>"
                       "<h1>Production record summary</h1><p>%2</p>")
            .arg(kStyle, Escaped(about));
    if (summary.days.isEmpty()) {
        page += QStringLiteral("<p>No module was written in these rows.</p>");
    } else {
        page += QStringLiteral("<h2>Units per day and bench</h2><p class=\"key\"><span "
                               "style=\"background:%1\"></span>passed<span style=\"background:%2\">"
                               "</span>failed</p>")
                    .arg(kPassedColour, kFailedColour) +
                Chart(summary) + QStringLiteral("<h2>Per bench and day</h2>") +
                Table(DayTable(summary), {2, 3, 4, 5, 6}) +
                QStringLiteral("<p>First pass: units whose first write of the day was ok.</p>");
    }
    if (!summary.lists.isEmpty())
        page += QStringLiteral("<h2>Values lists</h2>") + Table(ListTable(summary), {1, 2, 3});
    return page + QStringLiteral("</body></html>\n");
}

} // namespace production_record
