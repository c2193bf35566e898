#include "station_command_line.h"

#include "production_run/job_options.h"

#include <QCommandLineParser>

namespace station {

StationCommandLine ParseStationCommandLine(const QStringList& arguments) {
    StationCommandLine parsed;
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const production_run::JobOptions job;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"), {});
    const QCommandLineOption simulated(QStringLiteral("virtual-module"), {});
    parser.addOptions(job.list());
    parser.addOptions({help, version, simulated});
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        parsed.error = unknown.isEmpty()
                           ? parser.errorText()
                           : QStringLiteral("unknown option --%1").arg(unknown.constFirst());
        return parsed;
    }
    parsed.help = parser.isSet(help);
    parsed.version = parser.isSet(version);
    parsed.simulatedModules = parser.isSet(simulated);
    const QStringList positional = parser.positionalArguments();
    QStringList jobOptions;
    for (const QCommandLineOption& option : job.list()) {
        if (parser.isSet(option))
            jobOptions << option.names().constFirst();
    }
    if (parsed.help || parsed.version || (positional.isEmpty() && jobOptions.isEmpty()))
        return parsed;
    if (positional.size() > 1) {
        parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(positional.constLast());
        return parsed;
    }
    if (jobOptions.isEmpty()) {
        parsed.jobFile = positional.constFirst();
        return parsed;
    }
    if (!parser.isSet(job.port) && !parser.isSet(job.all)) {
        parsed.error = QStringLiteral("give the slots' ports with --port PORT... or --all, or "
                                      "one job file");
        return parsed;
    }
    if (parser.isSet(job.port) && parser.isSet(job.all)) {
        parsed.error = QStringLiteral("needs --port or --all, not both");
        return parsed;
    }
    if (parser.isSet(job.record) && parsed.simulatedModules) {
        parsed.error = QStringLiteral("--record cannot go with --virtual-module: a simulated "
                                      "module is no production unit, and the record counts "
                                      "every row as one");
        return parsed;
    }
    production_run::Job read;
    read.verb = production_run::Verb::Write;
    if (const auto refusal = production_run::ReadJobOptions(parser, job, false, read)) {
        parsed.error = *refusal;
        return parsed;
    }
    read.profilePath = positional.value(0);
    parsed.job = read;
    return parsed;
}

std::optional<QString> RefusedOnSimulatedModules(const production_run::Job& job) {
    if (job.recordTarget.isEmpty())
        return std::nullopt;
    return QStringLiteral("A job with a record cannot run on simulated modules: a simulated "
                          "module is no production unit, and the record counts every row as "
                          "one.");
}

QString StationUsageText() {
    return QStringLiteral(
        "Usage:\n"
        "  cordelo-station [--virtual-module]\n"
        "  cordelo-station [--virtual-module] JOB.ini\n"
        "  cordelo-station [--virtual-module] (--port PORT... | --all) [PROFILE]\n"
        "                  [--set KEY=VALUE]... [--first N] [--no-verify] [--log FILE]\n"
        "                  [--trace FILE] [--record TARGET [--bench NAME]\n"
        "                  [--values FILE.csv] [--record-timeout SECONDS]] [--label TEMPLATE\n"
        "                  (--label-pdf DIR | --printer NAME)]\n"
        "\n"
        "The production line's own window: one slot per port. A module put into a slot\n"
        "is written at once, without a click, and verified and recorded as\n"
        "`cordelo-cli write` does; a module that passed stays green until it is taken\n"
        "out. Given a job (the options below, or a job file), the line runs at once;\n"
        "without one, the window shows the job to fill in, save as a job file or start.\n"
        "\n"
        "Options:\n"
        "  JOB.ini           A job file saved by the station: its [Job] section names the\n"
        "                    profile, ports, values list, record and bench, the label=\n"
        "                    template with label_pdf=DIR or printer=NAME, its [Set]\n"
        "                    section the --set values. Relative paths (ports among them)\n"
        "                    are beside the file.\n"
        "  --port PORT       A slot on COM1 to COM16 or a device path; may be given\n"
        "                    several times. The tiles keep the order given.\n"
        "  --all             A slot on every port this machine lists.\n"
        "  PROFILE           The settings to write, as cordelo-cli write takes them.\n"
        "  --set KEY=VALUE   A [Module] key laid over the profile; the value may hold\n"
        "                    {com}, {addr4}, {n} and, with --record, {unit}.\n"
        "  --first N         The {n} of the first module; 1 unless given.\n"
        "  --no-verify       Skip the query that checks what each module took.\n"
        "  --log FILE        Append one CSV line per module, as cordelo-cli does.\n"
        "  --trace FILE      Write every byte sent and received to FILE.\n"
        "  --record TARGET   Keep one row per module in the production record (an SQLite\n"
        "                    file or postgresql://user@host:port/db). A record that\n"
        "                    cannot be used stops the line before any module is written.\n"
        "  --bench NAME      The bench in the record; the host name unless given.\n"
        "  --values FILE     A CSV list of per-unit values, one row per unit.\n"
        "  --label TEMPLATE  A label for each module that passes, as cordelo-cli write\n"
        "                    prints it (default, or a template file); the tile tells\n"
        "                    where it went, or loudly why it was not printed.\n"
        "  --label-pdf DIR   Each label as a PDF file in DIR.\n"
        "  --printer NAME    Each label on this printer of the system instead.\n"
        "  --record-timeout SECONDS\n"
        "                    How long the record may keep a slot waiting for another\n"
        "                    session's lock, or for its server; 20 unless given.\n"
        "  --virtual-module  Four slots, COM1 to COM4, on modules simulated inside the\n"
        "                    program, with buttons to put a module in, take it out, put\n"
        "                    it back or put in a faulty one. Not with a record.\n"
        "  -h, --help        Show this text.\n"
        "  --version         Show the version.\n"
        "\n"
        "A scan of a label (or a unit number or address typed, then Enter) finds the\n"
        "unit in the record and shows its history; Ctrl+F moves to the Find field.\n"
        "\n"
        "Closing the window, or SIGTERM, lets a slot that is writing finish and keep its\n"
        "row. See cordelo-station(1) and cordelo-cli(1).\n");
}

} // namespace station
