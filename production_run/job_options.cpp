#include "job_options.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace production_run {
namespace {

// The longest {n} a PIN can hold; it also keeps {n} of the last module far from the
// integer limit.
constexpr int kFirstLimit = 99'999'999;

// The longest --record-timeout: an hour is longer than any lock worth waiting for.
constexpr int kRecordTimeoutLimit = 3600;

// A --port that names a COM port at all: COM and digits, in any case.
const QRegularExpression kComName(QStringLiteral("^COM[0-9]*$"),
                                  QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kComInRange(QStringLiteral("^COM([1-9]|1[0-6])$"),
                                     QRegularExpression::CaseInsensitiveOption);

// COM names in the window's spelling, COM1 to COM16; anything else named COM is refused.
std::optional<QStringList> PortsAsGiven(const QStringList& given, QString& error) {
    QStringList ports;
    for (const QString& port : given) {
        if (port.isEmpty()) {
            error = QStringLiteral("--port needs a COM port or a device path");
            return std::nullopt;
        }
        if (!kComName.match(port).hasMatch()) {
            ports << port;
            continue;
        }
        if (!kComInRange.match(port).hasMatch()) {
            error = QStringLiteral("--port %1: the COM ports are COM1 to COM16; give another "
                                   "device by its path")
                        .arg(port);
            return std::nullopt;
        }
        ports << port.toUpper();
    }
    return ports;
}

} // namespace

QList<QCommandLineOption> JobOptions::list() const {
    return {port,   all,   set,    first,         noVerify, log,      trace,
            record, bench, values, recordTimeout, label,    labelPdf, printer};
}

std::optional<QString> ReadJobOptions(const QCommandLineParser& parser, const JobOptions& options,
                                      bool recordNamedElsewhere, Job& job,
                                      bool templateNamedElsewhere) {
    for (const QCommandLineOption& once :
         {options.trace, options.log, options.first, options.record, options.bench, options.values,
          options.recordTimeout, options.label, options.labelPdf, options.printer}) {
        if (parser.values(once).size() > 1)
            return QStringLiteral("only one --%1").arg(once.names().constFirst());
    }
    bool firstIsNumber = true;
    const int first =
        parser.isSet(options.first) ? parser.value(options.first).toInt(&firstIsNumber) : 1;
    if (!firstIsNumber || first < 0 || first > kFirstLimit)
        return QStringLiteral("--first needs a whole number from 0 to %1").arg(kFirstLimit);
    bool timeoutIsNumber = true;
    const int timeout = parser.isSet(options.recordTimeout)
                            ? parser.value(options.recordTimeout).toInt(&timeoutIsNumber)
                            : 20;
    if (!timeoutIsNumber || timeout < 1 || timeout > kRecordTimeoutLimit) {
        return QStringLiteral("--record-timeout needs a number of seconds from 1 to %1")
            .arg(kRecordTimeoutLimit);
    }
    for (const QCommandLineOption& needsRecord :
         {options.bench, options.values, options.recordTimeout}) {
        if (parser.isSet(needsRecord) && !parser.isSet(options.record) && !recordNamedElsewhere) {
            return QStringLiteral("--%1 needs --record: the record is where each module's "
                                  "values row and bench are kept")
                .arg(needsRecord.names().constFirst());
        }
    }
    const bool labelGoes = parser.isSet(options.labelPdf) || parser.isSet(options.printer);
    if (parser.isSet(options.labelPdf) && parser.isSet(options.printer))
        return QStringLiteral(
            "give one of --label-pdf and --printer: where each unit's label goes");
    if (!templateNamedElsewhere && parser.isSet(options.label) != labelGoes)
        return QStringLiteral("--label goes with --label-pdf DIR or --printer NAME: the template, "
                              "and where each unit's label goes");
    QString error;
    const std::optional<QStringList> ports = PortsAsGiven(parser.values(options.port), error);
    if (!ports)
        return error;
    job.ports = *ports;
    job.all = parser.isSet(options.all);
    job.sets = parser.values(options.set);
    job.first = first;
    job.verify = !parser.isSet(options.noVerify);
    job.logPath = parser.value(options.log);
    job.tracePath = parser.value(options.trace);
    job.recordTarget = parser.value(options.record);
    job.bench =
        parser.isSet(options.bench) ? parser.value(options.bench) : QSysInfo::machineHostName();
    job.valuesPath = parser.value(options.values);
    job.recordTimeout = std::chrono::seconds(timeout);
    job.labelTemplate = parser.value(options.label);
    job.labelPdfFolder = parser.value(options.labelPdf);
    job.labelPrinter = parser.value(options.printer);
    return std::nullopt;
}

} // namespace production_run
