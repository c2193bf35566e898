// The command line of cordelo-cli: a verb, its options, and the checks that need no
// port and no file.
#pragma once

#include "production_record/record_filter.h"
#include "production_run/job.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace cli {

using production_run::Verb;

// The job of a run, with what only the command line asks for.
struct Invocation : production_run::Job {
    // With --all: how many modules must answer; 0 when not given.
    int expect = 0;
    bool probe = false;
    bool json = false;
    // Talk to the module simulated inside the program, on COM1, instead of serial ports.
    bool simulatedModule = false;
    // `record`: which rows, and whether to list them or sum them up (on stdout, or as a page
    // in the file htmlPath).
    production_record::RecordFilter recordFilter;
    bool summary = false;
    // `record --lists`: the values lists alone.
    bool lists = false;
    QString htmlPath;
    bool csv = false;
    // `label`: the preview's file, instead of --label-pdf or --printer.
    QString pngPath;
};

struct ParsedCommandLine {
    std::optional<Invocation> invocation;
    // Set when the command line is wrong: what to tell the user.
    QString error;
    bool help = false;
    bool version = false;
};

ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The text of --help: commands, options and exit statuses.
QString UsageText();

} // namespace cli
