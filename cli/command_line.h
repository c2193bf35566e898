// The command line of cordelo-cli: a verb, its options, and the checks that need no
// port and no file.
#pragma once

#include "production_record/record_filter.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace cli {

enum class Verb { Ports, Read, Write, Reset, Record };

struct Invocation {
    Verb verb = Verb::Ports;
    // Each --port in the order given; with --all, every port that `ports` lists.
    QStringList ports;
    bool all = false;
    // With --all: how many modules must answer; 0 when not given.
    int expect = 0;
    // {n} of the first module in COM-number order.
    int first = 1;
    QString logPath;
    QString profilePath;
    // Each --set as given, KEY=VALUE.
    QStringList sets;
    bool probe = false;
    bool json = false;
    bool verify = true;
    QString tracePath;
    // Talk to the module simulated inside the program, on COM1, instead of serial ports.
    bool simulatedModule = false;
    // --record TARGET on read, write and reset; the TARGET of `record`.
    QString recordTarget;
    // The bench as the record names it; the host name unless --bench is given.
    QString bench;
    QString valuesPath;
    // How long the record may keep the run waiting (another session's lock, a server
    // restarting) before the run gives up on it.
    std::chrono::seconds recordTimeout{20};
    // `record`: which rows, and whether to list them or sum them up (on stdout, or as a page
    // in the file htmlPath).
    production_record::RecordFilter recordFilter;
    bool summary = false;
    QString htmlPath;
    bool csv = false;
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
