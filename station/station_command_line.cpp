#include "station_command_line.h"

#include "command_line.h"

namespace station {
namespace {

// The job options of `cordelo-cli write` that the station takes; the others are the command
// line's own (--json, --expect) or left at their defaults.
const QStringList kJobOptions = {
    QStringLiteral("port"),   QStringLiteral("all"),           QStringLiteral("set"),
    QStringLiteral("values"), QStringLiteral("record"),        QStringLiteral("bench"),
    QStringLiteral("first"),  QStringLiteral("no-verify"),     QStringLiteral("log"),
    QStringLiteral("trace"),  QStringLiteral("virtual-module")};

// "--port=COM1" and "--port" are both the option "port"; "-h" is "h".
QString OptionName(const QString& argument) {
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    return name.section(QLatin1Char('='), 0, 0);
}

} // namespace

StationCommandLine ParseStationCommandLine(const QStringList& arguments) {
    StationCommandLine parsed;
    const QStringList given = arguments.mid(1);
    QStringList rest;
    for (const QString& argument : given) {
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            parsed.help = true;
        else if (argument == QLatin1String("--version"))
            parsed.version = true;
        else if (argument == QLatin1String("--virtual-module"))
            parsed.simulatedModules = true;
        else
            rest << argument;
    }
    if (parsed.help || parsed.version || rest.isEmpty())
        return parsed;
    if (rest.size() == 1 && !rest.front().startsWith(QLatin1Char('-'))) {
        parsed.jobFile = rest.front();
        return parsed;
    }
    bool hasPorts = false;
    for (const QString& argument : rest) {
        if (!argument.startsWith(QLatin1Char('-')))
            continue;
        const QString name = OptionName(argument);
        if (!kJobOptions.contains(name)) {
            parsed.error = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        }
        hasPorts = hasPorts || name == QLatin1String("port") || name == QLatin1String("all");
    }
    if (!hasPorts) {
        parsed.error = QStringLiteral("give the slots' ports with --port PORT... or --all, or "
                                      "one job file");
        return parsed;
    }
    QStringList asWrite = {arguments.value(0), QStringLiteral("write")};
    asWrite << rest;
    if (parsed.simulatedModules)
        asWrite << QStringLiteral("--virtual-module");
    const cli::ParsedCommandLine write = cli::ParseCommandLine(asWrite);
    if (!write.invocation) {
        parsed.error = QString(write.error).remove(QLatin1String("write "));
        return parsed;
    }
    parsed.job = static_cast<const production_run::Job&>(*write.invocation);
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
        "                  [--values FILE.csv]]\n"
        "\n"
        "The production line's own window: one slot per port. A module put into a slot\n"
        "is written at once, without a click, and verified and recorded as\n"
        "`cordelo-cli write` does; a module that passed stays green until it is taken\n"
        "out. Given a job (the options below, or a job file), the line runs at once;\n"
        "without one, the window shows the job to fill in, save as a job file or start.\n"
        "\n"
        "Options:\n"
        "  JOB.ini           A job file saved by the station: its [Job] section names the\n"
        "                    profile, ports, values list, record and bench, its [Set]\n"
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
        "  --virtual-module  Four slots, COM1 to COM4, on modules simulated inside the\n"
        "                    program, with buttons to put a module in, take it out, put\n"
        "                    it back or put in a faulty one. Not with a record.\n"
        "  -h, --help        Show this text.\n"
        "  --version         Show the version.\n"
        "\n"
        "Closing the window, or SIGTERM, lets a slot that is writing finish and keep its\n"
        "row. See cordelo-station(1) and cordelo-cli(1).\n");
}

} // namespace station
