#include "summary_charts.h"

#include "nice_scale.h"
#include "summary_tables.h"
#include "printable_text.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace production_record {
namespace {

// The width of an A4 page's text at 96 pixels to the inch, and of a laptop's reading column.
constexpr int kWidth = 680;
constexpr int kLeft = 44;
constexpr int kRight = 12;
constexpr int kTop = 10;
constexpr int kBelow = 24;
constexpr int kPlotHeight = 170;
constexpr int kTicks = 5;
// Room for "12-31" under the day it names.
constexpr int kDayLabelWidth = 34;
constexpr int kReasonsShownInChart = 8;
constexpr int kReasonRow = 34;
constexpr int kListRow = 34;
constexpr qsizetype kLabelLength = 110;
const QString kLineColour = QStringLiteral("#222");
const QString kGrid = QStringLiteral("#ddd");
const QStringList kPalette = {"#0072b2", "#e69f00", "#009e73", "#cc79a7",
                              "#56b4e9", "#d55e00", "#7f6d00", "#6a3d9a"};

QString Shortened(const QString& text, qsizetype length) {
    return text.size() <= length ? text : text.left(length - 1) + QChar(0x2026);
}

QString Number(double value) {
    return QString::number(value, 'f', 1);
}

QString Svg(int height, const QString& label, const QString& body) {
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" "
                          "width=\"%1\" height=\"%2\" font-family=\"sans-serif\" font-size=\"11\" "
                          "role=\"img\" aria-label=\"%3\">%4</svg>")
        .arg(kWidth)
        .arg(height)
        .arg(label.toHtmlEscaped(), body);
}

QString Text(double x, double y, const QString& anchor, const QString& text,
             const QString& extra = QString()) {
    return QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\"%4>%5</text>")
        .arg(Number(x), Number(y), anchor, extra, PageText(text));
}

QString Rect(double x, double y, double width, double height, const QString& colour,
             const QString& title) {
    return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\">"
                          "<title>%6</title></rect>")
        .arg(Number(x), Number(y), Number(width), Number(height), colour, PageText(title));
}

// The calendar days from the first to the last, each a slot of the x axis, so that a day
// without a write shows as a gap.
struct DayAxis {
    QDate first;
    int days = 1;

    double slot() const { return double(kWidth - kLeft - kRight) / days; }
    double x(QDate day) const { return kLeft + (double(first.daysTo(day)) + 0.5) * slot(); }

    // Every day's label, or every second, fifth ... where they would not fit.
    QString labels(double y) const {
        int every = 1;
        for (const int step : {1, 2, 5, 7, 14, 28, 56, 112, 364}) {
            every = step;
            if (slot() * step >= kDayLabelWidth)
                break;
        }
        QString text;
        for (int index = 0; index < days; index += every) {
            const QDate day = first.addDays(index);
            text += Text(x(day), y, QStringLiteral("middle"),
                         day.toString(index == 0 || day.day() <= every ? QStringLiteral("MM-dd")
                                                                       : QStringLiteral("dd")));
        }
        return text;
    }
};

DayAxis AxisOf(const RecordSummary& summary) {
    const QDate first = summary.dayTotals.constFirst().day;
    return {first, int(first.daysTo(summary.dayTotals.constLast().day)) + 1};
}

// Horizontal grid lines with their values at the left.
QString Grid(const NiceScale& scale, double top, double height, const QString& unit) {
    QString grid;
    for (const double tick : scale.ticks()) {
        const double y = top + height - (tick - scale.low) / (scale.high - scale.low) * height;
        grid += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"%4\"/>")
                    .arg(kLeft)
                    .arg(Number(y))
                    .arg(kWidth - kRight)
                    .arg(kGrid) +
                Text(kLeft - 5, y + 4, QStringLiteral("end"),
                     QString::number(tick, 'f', scale.step < 1 ? 1 : 0) + unit);
    }
    return grid;
}

// A polyline through the days that have a figure; a day without one breaks the line, and a
// point alone is still seen.
struct Point {
    double x;
    double y;
    QString title;
};

QString Line(const QList<Point>& points, double slot, const QString& colour, double width) {
    QString shapes;
    QStringList run;
    const auto flush = [&] {
        if (run.size() > 1)
            shapes += QStringLiteral("<polyline fill=\"none\" stroke=\"%1\" stroke-width=\"%2\" "
                                     "points=\"%3\"/>")
                          .arg(colour, Number(width), run.join(QLatin1Char(' ')));
        run.clear();
    };
    double lastX = -1;
    for (const Point& point : points) {
        const double x = point.x;
        const double y = point.y;
        if (lastX >= 0 && x - lastX > slot * 1.5)
            flush();
        run << Number(x) + QLatin1Char(',') + Number(y);
        shapes +=
            QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"><title>%5"
                           "</title></circle>")
                .arg(Number(x), Number(y), Number(width + 0.5), colour, PageText(point.title));
        lastX = x;
    }
    flush();
    return shapes;
}

} // namespace

QString PageText(const QString& text) {
    return PrintableText(text).toHtmlEscaped();
}

QStringList BenchesOf(const RecordSummary& summary) {
    QStringList benches;
    for (const BenchDay& day : summary.days)
        benches << day.bench;
    benches.removeDuplicates();
    benches.sort();
    return benches;
}

QStringList BenchColours(const QStringList& benches) {
    QStringList colours;
    for (qsizetype index = 0; index < benches.size(); ++index)
        colours << kPalette[index % kPalette.size()];
    return colours;
}

QString YieldChart(const RecordSummary& summary, bool firstPass) {
    const auto yieldOf = [firstPass](const BenchDay& day) {
        return firstPass ? FirstPassYield(day) : FinalYield(day);
    };
    double lowest = 100;
    for (const BenchDay& day : summary.days) {
        if (const auto yield = yieldOf(day))
            lowest = std::min(lowest, *yield * 100);
    }
    const NiceScale scale = NiceScaleOf(std::min(lowest, 90.0), 100, kTicks, false);
    const DayAxis axis = AxisOf(summary);
    const auto y = [&scale](double yield) {
        return kTop + kPlotHeight -
               (yield * 100 - scale.low) / (scale.high - scale.low) * kPlotHeight;
    };
    const QString name =
        firstPass ? QStringLiteral("first-pass yield") : QStringLiteral("final yield");
    QString body = Grid(scale, kTop, kPlotHeight, QStringLiteral("%"));
    const QStringList benches = BenchesOf(summary);
    const QStringList colours = BenchColours(benches);
    const auto pointOf = [&](const BenchDay& day, const QString& bench) {
        const double yield = *yieldOf(day);
        return Point{axis.x(day.day), y(yield),
                     QStringLiteral("%1, %2: %3 %4 of %5 units")
                         .arg(bench, day.day.toString(Qt::ISODate), name, YieldText(yield))
                         .arg(day.units)};
    };
    for (qsizetype bench = 0; bench < benches.size(); ++bench) {
        QList<Point> points;
        for (const BenchDay& day : summary.days) {
            if (day.bench == benches[bench] && yieldOf(day))
                points << pointOf(day, day.bench);
        }
        body += Line(points, axis.slot(), colours[bench], 1.5);
    }
    QList<Point> line;
    for (const BenchDay& day : summary.dayTotals) {
        if (yieldOf(day))
            line << pointOf(day, QStringLiteral("all benches"));
    }
    body += Line(line, axis.slot(), kLineColour, 2.5);
    body += axis.labels(kTop + kPlotHeight + 16);
    return Svg(kTop + kPlotHeight + kBelow, QStringLiteral("The %1 per day").arg(name), body);
}

QString DayTotalsChart(const RecordSummary& summary) {
    int most = 1;
    for (const BenchDay& day : summary.dayTotals)
        most = std::max({most, day.units, day.notWritten.total()});
    const NiceScale scale = NiceScaleOf(0, most, kTicks, true);
    const DayAxis axis = AxisOf(summary);
    const double perUnit = kPlotHeight / scale.high;
    const double width = std::min(axis.slot() * 0.55, 22.0);
    const double bottom = kTop + kPlotHeight;
    QString body = Grid(scale, kTop, kPlotHeight, QString());
    for (const BenchDay& day : summary.dayTotals) {
        const QString date = day.day.toString(Qt::ISODate);
        double top = bottom;
        const double x = axis.x(day.day) - width * 0.7;
        // The bar is the units: a first pass that failed a later write stays in the first.
        for (const auto& [count, colour, what] :
             {std::tuple{day.firstPass, kFirstPassColour, "first pass"},
              std::tuple{day.passedLater, kPassedLaterColour, "passed later"},
              std::tuple{day.units - day.firstPass - day.passedLater, kFailingColour,
                         "failed first and still failing"}}) {
            if (count <= 0)
                continue;
            top -= count * perUnit;
            body += Rect(x, top, width, count * perUnit, colour,
                         QStringLiteral("%1: %2 %3").arg(date).arg(count).arg(QLatin1String(what)));
        }
        if (day.notWritten.total() > 0) {
            const double height = day.notWritten.total() * perUnit;
            body += Rect(
                x + width, bottom - height, width * 0.4, height, kNotWrittenColour,
                QStringLiteral("%1: not written: %2").arg(date, NotWrittenText(day.notWritten)));
        }
    }
    body += axis.labels(bottom + 16);
    return Svg(int(bottom) + kBelow, QStringLiteral("The line's units per day"), body);
}

QString ReasonsChart(const RecordSummary& summary) {
    QList<FailureReason> reasons = summary.line.reasons.mid(0, kReasonsShownInChart);
    int others = 0;
    for (qsizetype index = kReasonsShownInChart; index < summary.line.reasons.size(); ++index)
        others += summary.line.reasons[index].units;
    if (others > 0)
        reasons << FailureReason{QStringLiteral("other reasons"), QString(), others};
    int total = 0;
    for (const FailureReason& reason : summary.line.reasons)
        total += reason.units;
    const NiceScale scale = NiceScaleOf(0, reasons.constFirst().units, kTicks, true);
    const double plot = kWidth - kLeft - kRight - 120;
    const double bottom = kTop + kReasonRow * double(reasons.size());
    // The grid first, behind the bars, and the labels on a white halo above it.
    QString body;
    for (const double tick : scale.ticks()) {
        const double x = kLeft + tick / scale.high * plot;
        body += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" stroke=\"%4\"/>")
                    .arg(Number(x))
                    .arg(kTop)
                    .arg(Number(bottom))
                    .arg(kGrid) +
                Text(x, bottom + 12, QStringLiteral("middle"), QString::number(tick, 'f', 0));
    }
    const QString halo =
        QStringLiteral(" paint-order=\"stroke\" stroke=\"#fff\" stroke-width=\"3\"");
    int running = 0;
    double y = kTop;
    for (const FailureReason& reason : reasons) {
        running += reason.units;
        const double length = reason.units / scale.high * plot;
        body += Text(kLeft, y + 10, QStringLiteral("start"),
                     Shortened(reason.message.isEmpty()
                                   ? reason.result
                                   : reason.result + QStringLiteral(": ") + reason.message,
                               kLabelLength),
                     halo);
        body += Rect(kLeft, y + 14, std::max(length, 1.0), 12, kFailingColour, ReasonText(reason));
        body += Text(kLeft + length + 6, y + 24, QStringLiteral("start"),
                     QStringLiteral("%1 \u00b7 %2% (%3% in all)")
                         .arg(reason.units)
                         .arg(std::lround(100.0 * reason.units / total))
                         .arg(std::lround(100.0 * running / total)),
                     halo);
        y += kReasonRow;
    }
    y += 12;
    return Svg(int(y) + kBelow, QStringLiteral("Units per failure reason"), body);
}

QString ValuesLeftChart(const RecordSummary& summary) {
    QString body;
    double y = kTop;
    const double plot = kWidth - kLeft - kRight;
    for (const ValuesListLeft& list : summary.lists) {
        const QString about = list.rows ? QStringLiteral("%1: %2 of %3 rows left")
                                              .arg(list.list)
                                              .arg(*list.left())
                                              .arg(*list.rows)
                                        : QStringLiteral("%1: %2 rows given, length unknown")
                                              .arg(list.list)
                                              .arg(list.given);
        body += Text(kLeft, y + 10, QStringLiteral("start"), Shortened(about, kLabelLength));
        if (list.rows && *list.rows > 0) {
            const double given = plot * (*list.rows - *list.left()) / *list.rows;
            body += Rect(kLeft, y + 14, given, 12, kNotWrittenColour,
                         QStringLiteral("%1 rows given").arg(*list.rows - *list.left()));
            body += Rect(kLeft + given, y + 14, plot - given, 12, kFirstPassColour,
                         QStringLiteral("%1 rows left").arg(*list.left()));
        }
        y += kListRow;
    }
    return Svg(int(y), QStringLiteral("Rows left in each values list"), body);
}

} // namespace production_record
