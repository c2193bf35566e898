// The options that describe a production job, as both front ends take them on their command
// lines: the ports, the placeholders' values and the first {n}, the values list, the record
// with its bench and timeout, the log, the trace, whether to verify, and the label printed for
// each unit that passes. Each front end adds
// its own options beside them and checks how they go together.
#pragma once

#include "job.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

#include <optional>

namespace production_run {

struct JobOptions {
    QCommandLineOption port{QStringLiteral("port"), {}, QStringLiteral("PORT")};
    QCommandLineOption all{QStringLiteral("all"), {}};
    QCommandLineOption set{QStringLiteral("set"), {}, QStringLiteral("KEY=VALUE")};
    QCommandLineOption first{QStringLiteral("first"), {}, QStringLiteral("N")};
    QCommandLineOption noVerify{QStringLiteral("no-verify"), {}};
    QCommandLineOption log{QStringLiteral("log"), {}, QStringLiteral("FILE")};
    QCommandLineOption trace{QStringLiteral("trace"), {}, QStringLiteral("FILE")};
    QCommandLineOption record{QStringLiteral("record"), {}, QStringLiteral("TARGET")};
    QCommandLineOption bench{QStringLiteral("bench"), {}, QStringLiteral("NAME")};
    QCommandLineOption values{QStringLiteral("values"), {}, QStringLiteral("FILE")};
    QCommandLineOption recordTimeout{
        QStringLiteral("record-timeout"), {}, QStringLiteral("SECONDS")};
    QCommandLineOption label{QStringLiteral("label"), {}, QStringLiteral("TEMPLATE")};
    QCommandLineOption labelPdf{QStringLiteral("label-pdf"), {}, QStringLiteral("DIR")};
    QCommandLineOption printer{QStringLiteral("printer"), {}, QStringLiteral("NAME")};

    QList<QCommandLineOption> list() const;
};

// Checks the job options of a parsed command line and fills the job with them, all but the
// profile: why they are refused, or nothing. `recordNamedElsewhere` is true where the record
// is not given by --record (cordelo-cli record TARGET), so that --bench needs none;
// `templateNamedElsewhere` where the label template is not given by --label (cordelo-cli label
// TEMPLATE), so that --label-pdf and --printer need none.
std::optional<QString> ReadJobOptions(const QCommandLineParser& parser, const JobOptions& options,
                                      bool recordNamedElsewhere, Job& job,
                                      bool templateNamedElsewhere = false);

} // namespace production_run
