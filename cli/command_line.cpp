#include "command_line.h"

#include "label_command.h"
#include "production_run/exit_status.h"
#include "production_run/job_options.h"
#include "since_time.h"

#include "platform/port_discovery.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <tuple>

namespace cli {
namespace {

using production_run::ExitStatus;
using production_run::ResultName;

struct VerbRule {
    QString name;
    Verb verb;
    bool takesPort;
    QStringList options;
};

const VerbRule kVerbs[] = {
    {QStringLiteral("ports"), Verb::Ports, false, {"probe", "json", "virtual-module"}},
    {QStringLiteral("read"),
     Verb::Read,
     true,
     {"port", "all", "expect", "json", "trace", "log", "record", "bench", "record-timeout",
      "virtual-module"}},
    {QStringLiteral("write"),
     Verb::Write,
     true,
     {"port", "all", "expect", "set", "first", "no-verify", "json", "trace", "log", "record",
      "bench", "values", "record-timeout", "label", "label-pdf", "printer", "virtual-module"}},
    {QStringLiteral("reset"),
     Verb::Reset,
     true,
     {"port", "all", "expect", "json", "trace", "log", "record", "bench", "record-timeout",
      "virtual-module"}},
    {QStringLiteral("record"),
     Verb::Record,
     false,
     {"bench", "since", "until", "result", "unit", "address", "latest", "summary", "html", "json",
      "csv", "lists", "record-timeout"}},
    {QStringLiteral("label"),
     Verb::Label,
     false,
     {"record", "unit", "address", "label-pdf", "printer", "png", "bench", "json",
      "record-timeout"}},
};

const QStringList kResultNames = {
    ResultName(ExitStatus::Done),        ResultName(ExitStatus::Usage),
    ResultName(ExitStatus::OpenFailed),  ResultName(ExitStatus::NoReply),
    ResultName(ExitStatus::BadFirmware), ResultName(ExitStatus::NotAcknowledged),
    ResultName(ExitStatus::Mismatch),    ResultName(ExitStatus::RecordFailed),
    ResultName(ExitStatus::Interrupted), QStringLiteral("empty")};

// A device address as the record compares it: twelve hex digits.
const QRegularExpression kAddressKey(QStringLiteral("^[0-9a-f]{12}$"));

// `record --result failed`: every result but ok and empty.
const QString kFailedResults = QStringLiteral("failed");

// The rows `record` is asked about, or why the options name none.
std::optional<production_record::RecordFilter> RecordFilterOf(const QCommandLineParser& parser,
                                                              QString& error) {
    production_record::RecordFilter filter;
    filter.bench = parser.value(QStringLiteral("bench"));
    filter.deviceAddress = parser.value(QStringLiteral("address"));
    filter.latest = parser.isSet(QStringLiteral("latest"));
    for (const auto& [option, parse, bound] :
         {std::tuple{QStringLiteral("since"), &ParseSince, &filter.since},
          std::tuple{QStringLiteral("until"), &ParseUntil, &filter.until}}) {
        if (!parser.isSet(option))
            continue;
        const auto time = parse(parser.value(option));
        if (const auto* refused = std::get_if<QString>(&time)) {
            error = *refused;
            return std::nullopt;
        }
        *bound = std::get<QDateTime>(time);
    }
    if (filter.since.isValid() && filter.until.isValid() && filter.until < filter.since) {
        error =
            QStringLiteral("--until %1 is before --since %2: no row can be in both")
                .arg(parser.value(QStringLiteral("until")), parser.value(QStringLiteral("since")));
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("bench")) && filter.bench.isEmpty()) {
        error = QStringLiteral("--bench needs the name of a bench");
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("address")) &&
        !kAddressKey.match(production_record::AddressKey(filter.deviceAddress)).hasMatch()) {
        error = QStringLiteral("--address \"%1\" cannot be a device address: one has twelve hex "
                               "digits, such as 0012 6f 3a 0201 (spaces, colons and dashes "
                               "between them do not count)")
                    .arg(filter.deviceAddress);
        return std::nullopt;
    }
    for (const QString& result : parser.values(QStringLiteral("result"))) {
        if (result == kFailedResults) {
            filter.failed = true;
        } else if (kResultNames.contains(result)) {
            filter.results << result;
        } else {
            error = QStringLiteral("--result needs failed or one of %1")
                        .arg(kResultNames.join(QStringLiteral(", ")));
            return std::nullopt;
        }
    }
    if (filter.latest && filter.results.contains(QStringLiteral("empty"))) {
        error = QStringLiteral("--latest lists units, and a port where nothing answered "
                               "(empty) is none: leave --latest out to list the empty ports");
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("unit"))) {
        bool isNumber = false;
        filter.unit = parser.value(QStringLiteral("unit")).toInt(&isNumber);
        if (!isNumber || *filter.unit < 1) {
            error = QStringLiteral("--unit needs a unit number, 1 or more");
            return std::nullopt;
        }
    }
    return filter;
}

} // namespace

QString UsageText() {
    return QStringLiteral(
        "Usage:\n"
        "  cordelo-cli ports   [--probe] [--json]\n"
        "  cordelo-cli read    (--port PORT... | --all [--expect N]) [--json] [--trace FILE]\n"
        "                      [--log FILE]\n"
        "                      [--record TARGET [--bench NAME] [--record-timeout SECONDS]]\n"
        "  cordelo-cli write   (--port PORT... | --all [--expect N]) [PROFILE]\n"
        "                      [--set KEY=VALUE]... [--first N] [--no-verify] [--json]\n"
        "                      [--trace FILE] [--log FILE]\n"
        "                      [--record TARGET [--bench NAME] [--values FILE.csv]\n"
        "                      [--record-timeout SECONDS]]\n"
        "                      [--label TEMPLATE (--label-pdf DIR | --printer NAME)]\n"
        "  cordelo-cli reset   (--port PORT... | --all [--expect N]) [--json] [--trace FILE]\n"
        "                      [--log FILE]\n"
        "                      [--record TARGET [--bench NAME] [--record-timeout SECONDS]]\n"
        "  cordelo-cli record  TARGET [--bench NAME] [--since TIME] [--until TIME]\n"
        "                      [--result RESULT]... [--unit N] [--address ADDR] [--latest]\n"
        "                      [--summary] [--json | --csv | --html FILE]\n"
        "                      [--record-timeout SECONDS]\n"
        "  cordelo-cli record  TARGET --lists [--json | --csv] [--record-timeout SECONDS]\n"
        "  cordelo-cli label   TEMPLATE --record TARGET (--unit N | --address ADDR)\n"
        "                      (--label-pdf DIR | --printer NAME | --png FILE) [--json]\n"
        "                      [--bench NAME] [--record-timeout SECONDS]\n"
        "\n"
        "Reads, writes and resets a Cordelo serial-to-Bluetooth adapter module from\n"
        "scripts, with the same serial link and module code as Cordelo Setup.\n"
        "\n"
        "Commands:\n"
        "  ports   List every COM number that opens a device on this machine, with the\n"
        "          device and its description. --probe pings each and adds the firmware\n"
        "          and name of the module that answers.\n"
        "  read    Check the module (ping, firmware v1.1 or v2.0), query its settings and\n"
        "          print them as a profile:  cordelo-cli read --port COM1 > unit.ini\n"
        "  write   Read the module's settings, lay the PROFILE and each --set over them\n"
        "          (--set wins), send every setting in the window's order, each one\n"
        "          acknowledged before the next, then query the module again and compare\n"
        "          every written setting. Nothing is sent when the profile or a --set is\n"
        "          invalid:  cordelo-cli write --port COM2 unit.ini\n"
        "  reset   Check the module and send it the reset command.\n"
        "  record  List what the production record TARGET holds, one row per module and\n"
        "          command: for people, or with --json or --csv for scripts and spreadsheets.\n"
        "  label   Print one unit's label again from the record, as it was the day the\n"
        "          unit passed (its latest passing write), with TEMPLATE: to a PDF in DIR\n"
        "          or on a printer, noted in the record as a reprint; --png FILE writes a\n"
        "          preview, which the record does not note. The unit is --unit N or\n"
        "          --address ADDR in any spelling; one the record does not know, or one\n"
        "          that never passed, is told (status 1). A label the folder, printer or\n"
        "          file did not take exits 2.\n"
        "\n"
        "Several --port, or --all (every port that `ports` lists), work on all those\n"
        "modules at the same time; the exit status is the highest of theirs.\n"
        "\n"
        "Options:\n"
        "  --port PORT       COM1 to COM16 (opened as Cordelo Setup opens them) or a\n"
        "                    device path; may be given several times. Ports that open\n"
        "                    the same device are one module.\n"
        "  --all             Every port that `ports` lists. A port where nothing answers\n"
        "                    a ping is reported as empty and does not count as a failure,\n"
        "                    unless no module answers anywhere.\n"
        "  --expect N        (with --all) At least N modules must answer; fewer exit 3.\n"
        "  --set KEY=VALUE   A [Module] key of the profile: name pin pin_request baud\n"
        "                    stop_bits parity role address discoverable. A value (and a\n"
        "                    profile value) may hold {com} (the COM number), {addr4} (the\n"
        "                    last four hex digits of the module's own address) and {n}\n"
        "                    (counting the modules in COM-number order from --first),\n"
        "                    and with --record {unit} (the module's unit number).\n"
        "  --label TEMPLATE  Print a label for each module that passes: default (50 x 25\n"
        "                    mm, the device address as a QR Code with name, unit and\n"
        "                    address), or a label template file. A template that cannot\n"
        "                    fit its label or hold its text is refused before any module\n"
        "                    is written. A label that cannot be printed is told on\n"
        "                    stderr and in --json (label), and leaves the exit status.\n"
        "  --label-pdf DIR   Each label as a PDF file in DIR: unit-N.pdf, or\n"
        "                    address-KEY.pdf when the job gives no unit numbers.\n"
        "  --printer NAME    Each label on this printer of the system (a CUPS queue, a\n"
        "                    Windows printer), at its resolution; a printer the system\n"
        "                    does not have is refused before any module is written.\n"
        "  --first N         The {n} of the first module, 0 to 99999999; 1 unless given.\n"
        "  --no-verify       Skip the query that checks what the module took.\n"
        "  --json            One JSON object per module on stdout, with port, device,\n"
        "                    result, exit, settings, device_address, firmware, failed,\n"
        "                    mismatched and seconds; with --label, label (printed,\n"
        "                    file, reason).\n"
        "  --trace FILE      Write every byte sent and received to FILE, one line per\n"
        "                    burst with the milliseconds since the start, port and\n"
        "                    direction.\n"
        "  --log FILE        Append one CSV line per module: time, port, device, device\n"
        "                    address, firmware, result, exit, settings written, and the\n"
        "                    keys that failed or differ.\n"
        "  --record TARGET   Keep one row per module in the production record: an SQLite\n"
        "                    file (made on first use) or postgresql://user@host:port/db;\n"
        "                    its ?items (sslmode=require, service=NAME ...) go to libpq.\n"
        "                    The password comes from ~/.pgpass, PGPASSFILE, PGPASSWORD\n"
        "                    or a service file, never from the URL. {unit} takes the\n"
        "                    record's next unit number; a module already in it keeps\n"
        "                    its own.\n"
        "                    Each written module's row is begun, with its unit number,\n"
        "                    before its first write command and completed when it is\n"
        "                    done; a row never completed (a bench killed) reads as\n"
        "                    interrupted. A row the record cannot take waits in a spool\n"
        "                    of that record's own and is stored as soon as it answers.\n"
        "                    Two modules with one device address: the second is refused.\n"
        "  --bench NAME      The bench in the record; the host name unless given.\n"
        "                    With record: the rows of this bench, in any case.\n"
        "  --values FILE     A CSV list of per-unit values: a header of [Module] keys, one\n"
        "                    row per unit. A row is known by its values: one given to a\n"
        "                    module is never given to another, whatever file it comes in.\n"
        "                    Each new module takes the first row never given, in file\n"
        "                    order, and keeps it. When the list has too few rows for the\n"
        "                    run's modules, none is written (status 1).\n"
        "  --record-timeout SECONDS\n"
        "                    How long the record may keep the run (or a listing)\n"
        "                    waiting for a lock another session holds, or for its\n"
        "                    server to come back; 20 unless given. Ctrl-C ends the wait.\n"
        "  --since TIME      (record) Rows from this local day (2026-12-01, today or\n"
        "                    yesterday) or time on: 2026-12-01T08:00 is local time,\n"
        "                    2026-12-01T08:00Z UTC.\n"
        "  --until TIME      (record) Rows up to the end of this local day, or this time.\n"
        "  --result RESULT   (record) Rows with this result, such as ok or mismatch;\n"
        "                    failed for every result but ok and empty. Repeatable.\n"
        "  --unit N          (record) Rows of unit number N; (label) the unit N.\n"
        "  --address ADDR    (record) Rows of the module with this device address, in any\n"
        "                    spelling: 00126F3A0201 finds 0012 6f 3a 0201.\n"
        "  --latest          (record) Each unit's latest write only (--result is asked of\n"
        "                    that row); a row without an address is an entry of its own.\n"
        "  --summary         (record) Per bench and local day of their first write: the\n"
        "                    units (modules sent a write command), first pass, passed\n"
        "                    later, still failing, first-pass and final yield, the\n"
        "                    modules not written (refused, no module, bad firmware), the\n"
        "                    commonest failures (units per reason); a line-wide total;\n"
        "                    and the rows each values list has left. The figures are\n"
        "                    defined in docs/production.md. With --csv, the benches'\n"
        "                    days only, yields as fractions.\n"
        "  --lists           (record) Each values list: rows, rows given, rows left (its\n"
        "                    rows never given, whatever list gave them) and when it was\n"
        "                    last used; with --csv as a table of its own.\n"
        "  --html FILE       (record) The summary as a page with charts, to open or mail.\n"
        "  --png FILE        (label) The label as a PNG picture, a preview at 300 dpi.\n"
        "  --csv             (record) A CSV table with a header line, UTF-8 with a byte\n"
        "                    order mark, the time in UTC and local time. Settings are\n"
        "                    key=value;... with %, ; and = inside a key or value, and\n"
        "                    control characters, as %XX: split, then decode each part.\n"
        "  --probe           (ports) Ask each port whether a module answers.\n"
        "  --virtual-module  Talk to a module simulated inside the program, on COM1,\n"
        "                    instead of serial ports: to try it without an adapter.\n"
        "                    Not with --record: a simulated module is no production unit.\n"
        "  -h, --help        Show this text.\n"
        "  --version         Show the version.\n"
        "\n"
        "Steps go to stderr when it is a terminal; results go to stdout.\n"
        "\n"
        "Exit status:\n"
        "  0  done (and verified)\n"
        "  1  usage error or invalid profile (nothing sent)\n"
        "  2  the port could not be opened\n"
        "  3  no module answered\n"
        "  4  unsupported firmware\n"
        "  5  a setting was not acknowledged (nothing after it was sent)\n"
        "  6  verification found a setting that differs\n"
        "  7  the production record could not be used (no module was written or reset)\n"
        "  8  the module was written or reset, but its row is neither in the record nor\n"
        "     in the spool; a module that failed keeps its own status (5, 6, 130)\n"
        "  130  interrupted (Ctrl-C) before it finished\n");
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    ParsedCommandLine parsed;
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    // The job's options are the production run's, as the station reads them too.
    const production_run::JobOptions job;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"), {});
    const QCommandLineOption json(QStringLiteral("json"), {});
    const QCommandLineOption probe(QStringLiteral("probe"), {});
    const QCommandLineOption expect(QStringLiteral("expect"), {}, QStringLiteral("N"));
    const QCommandLineOption simulated(QStringLiteral("virtual-module"), {});
    const QCommandLineOption since(QStringLiteral("since"), {}, QStringLiteral("TIME"));
    const QCommandLineOption address(QStringLiteral("address"), {}, QStringLiteral("ADDR"));
    const QCommandLineOption result(QStringLiteral("result"), {}, QStringLiteral("RESULT"));
    const QCommandLineOption csv(QStringLiteral("csv"), {});
    const QCommandLineOption until(QStringLiteral("until"), {}, QStringLiteral("TIME"));
    const QCommandLineOption unit(QStringLiteral("unit"), {}, QStringLiteral("N"));
    const QCommandLineOption latest(QStringLiteral("latest"), {});
    const QCommandLineOption summary(QStringLiteral("summary"), {});
    const QCommandLineOption html(QStringLiteral("html"), {}, QStringLiteral("FILE"));
    const QCommandLineOption lists(QStringLiteral("lists"), {});
    const QCommandLineOption png(QStringLiteral("png"), {}, QStringLiteral("FILE"));
    parser.addOptions(job.list());
    parser.addOptions({help, version, json, probe, expect, simulated, since, address, result, csv,
                       until, unit, latest, summary, html, lists, png});
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        parsed.help = parser.isSet(help);
        parsed.version = !parsed.help;
        return parsed;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        parsed.error = QStringLiteral("no command given");
        return parsed;
    }
    const QString verbName = positional.takeFirst();
    const VerbRule* rule = nullptr;
    for (const VerbRule& candidate : kVerbs) {
        if (candidate.name == verbName)
            rule = &candidate;
    }
    if (rule == nullptr) {
        parsed.error = QStringLiteral("unknown command \"%1\"").arg(verbName);
        return parsed;
    }
    for (const QString& name : parser.optionNames()) {
        if (!rule->options.contains(name)) {
            parsed.error = QStringLiteral("%1 takes no --%2").arg(verbName, name);
            return parsed;
        }
    }
    if (rule->takesPort && parser.values(job.port).isEmpty() == !parser.isSet(job.all)) {
        parsed.error = QStringLiteral("%1 needs --port or --all, not both").arg(verbName);
        return parsed;
    }
    const bool listing = rule->verb == Verb::Record;
    if (listing && positional.isEmpty()) {
        parsed.error = QStringLiteral("record needs the TARGET to list");
        return parsed;
    }
    const bool labelling = rule->verb == Verb::Label;
    if (positional.size() > (rule->verb == Verb::Write || listing || labelling ? 1 : 0)) {
        parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(positional.constLast());
        return parsed;
    }
    for (const QCommandLineOption& once : {expect, since, address, until, unit, html, png}) {
        if (parser.values(once).size() > 1) {
            parsed.error = QStringLiteral("only one --%1").arg(once.names().constFirst());
            return parsed;
        }
    }
    bool expectIsNumber = true;
    const int expected = parser.isSet(expect) ? parser.value(expect).toInt(&expectIsNumber) : 0;
    if (parser.isSet(expect) && (!parser.isSet(job.all) || !expectIsNumber || expected < 1 ||
                                 expected > platform::kPortCount)) {
        parsed.error = QStringLiteral("--expect goes with --all and needs a number from 1 to %1")
                           .arg(platform::kPortCount);
        return parsed;
    }

    if (parser.isSet(job.record) && parser.isSet(simulated)) {
        parsed.error = QStringLiteral("--record cannot go with --virtual-module: a simulated "
                                      "module is no production unit, and the record counts "
                                      "every row as one");
        return parsed;
    }
    if (int(parser.isSet(json)) + int(parser.isSet(csv)) + int(parser.isSet(html)) > 1) {
        parsed.error = QStringLiteral("give one of --json, --csv and --html");
        return parsed;
    }
    if (parser.isSet(latest) && (parser.isSet(summary) || parser.isSet(html))) {
        parsed.error = QStringLiteral("--latest lists rows; the summary finds each unit's "
                                      "first and latest write itself");
        return parsed;
    }
    if (parser.isSet(lists)) {
        for (const QCommandLineOption& rows :
             {job.bench, since, until, result, unit, address, latest, summary, html}) {
            if (parser.isSet(rows)) {
                parsed.error = QStringLiteral("--lists shows every values list as it stands; it "
                                              "takes no --%1")
                                   .arg(rows.names().constFirst());
                return parsed;
            }
        }
    }
    // The summary counts every result of a unit itself: asked of passing rows alone it would
    // show every unit passed at the first pass, of failing rows alone none.
    if (parser.isSet(result) && (parser.isSet(summary) || parser.isSet(html))) {
        parsed.error = QStringLiteral("--result chooses rows to list; the summary counts every "
                                      "result itself, and the units that passed only out of all "
                                      "written (--result %1 would show a yield of 100 %). Leave "
                                      "--result out, or list the rows without --summary")
                           .arg(parser.values(result).constFirst());
        return parsed;
    }
    const std::optional<production_record::RecordFilter> filter =
        RecordFilterOf(parser, parsed.error);
    if (!filter)
        return parsed;

    Invocation invocation;
    if (const auto refusal =
            production_run::ReadJobOptions(parser, job, listing, invocation, labelling)) {
        parsed.error = *refusal;
        return parsed;
    }
    invocation.verb = rule->verb;
    if (listing)
        invocation.recordTarget = positional.value(0);
    invocation.recordFilter = *filter;
    invocation.summary = parser.isSet(summary) || parser.isSet(html);
    invocation.lists = parser.isSet(lists);
    invocation.htmlPath = parser.value(html);
    invocation.csv = parser.isSet(csv);
    invocation.expect = expected;
    invocation.profilePath = listing || labelling ? QString() : positional.value(0);
    if (labelling) {
        invocation.labelTemplate = positional.value(0);
        invocation.pngPath = parser.value(png);
        if (const auto refusal = LabelUsageError(invocation, parser.isSet(png))) {
            parsed.error = *refusal;
            return parsed;
        }
    }
    invocation.probe = parser.isSet(probe);
    invocation.json = parser.isSet(json);
    invocation.simulatedModule = parser.isSet(simulated);
    parsed.invocation = invocation;
    return parsed;
}

} // namespace cli
