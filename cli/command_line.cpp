#include "command_line.h"

#include "platform/port_discovery.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace cli {
namespace {

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
     {"port", "all", "expect", "json", "trace", "log", "virtual-module"}},
    {QStringLiteral("write"),
     Verb::Write,
     true,
     {"port", "all", "expect", "set", "first", "no-verify", "json", "trace", "log",
      "virtual-module"}},
    {QStringLiteral("reset"),
     Verb::Reset,
     true,
     {"port", "all", "expect", "json", "trace", "log", "virtual-module"}},
};

// The longest {n} a PIN can hold; it also keeps {n} of the last module far from the
// integer limit.
constexpr int kFirstLimit = 99'999'999;

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

QString UsageText() {
    return QStringLiteral(
        "Usage:\n"
        "  cordelo-cli ports   [--probe] [--json]\n"
        "  cordelo-cli read    (--port PORT... | --all [--expect N]) [--json] [--trace FILE]\n"
        "                      [--log FILE]\n"
        "  cordelo-cli write   (--port PORT... | --all [--expect N]) [PROFILE]\n"
        "                      [--set KEY=VALUE]... [--first N] [--no-verify] [--json]\n"
        "                      [--trace FILE] [--log FILE]\n"
        "  cordelo-cli reset   (--port PORT... | --all [--expect N]) [--json] [--trace FILE]\n"
        "                      [--log FILE]\n"
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
        "                    (counting the modules in COM-number order from --first).\n"
        "  --first N         The {n} of the first module, 0 to 99999999; 1 unless given.\n"
        "  --no-verify       Skip the query that checks what the module took.\n"
        "  --json            One JSON object per module on stdout, with port, device,\n"
        "                    result, exit, settings, device_address, firmware, failed,\n"
        "                    mismatched and seconds.\n"
        "  --trace FILE      Write every byte sent and received to FILE, one line per\n"
        "                    burst with the milliseconds since the start, port and\n"
        "                    direction.\n"
        "  --log FILE        Append one CSV line per module: time, port, device, device\n"
        "                    address, firmware, result, exit, settings written, and the\n"
        "                    keys that failed or differ.\n"
        "  --probe           (ports) Ask each port whether a module answers.\n"
        "  --virtual-module  Talk to a module simulated inside the program, on COM1,\n"
        "                    instead of serial ports: to try it without an adapter.\n"
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
        "  130  interrupted (Ctrl-C) before it finished\n");
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    ParsedCommandLine parsed;
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"), {});
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("PORT"));
    const QCommandLineOption set(QStringLiteral("set"), {}, QStringLiteral("KEY=VALUE"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"), {});
    const QCommandLineOption json(QStringLiteral("json"), {});
    const QCommandLineOption trace(QStringLiteral("trace"), {}, QStringLiteral("FILE"));
    const QCommandLineOption probe(QStringLiteral("probe"), {});
    const QCommandLineOption all(QStringLiteral("all"), {});
    const QCommandLineOption first(QStringLiteral("first"), {}, QStringLiteral("N"));
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("FILE"));
    const QCommandLineOption expect(QStringLiteral("expect"), {}, QStringLiteral("N"));
    const QCommandLineOption simulated(QStringLiteral("virtual-module"), {});
    parser.addOptions({help, version, port, set, noVerify, json, trace, probe, all, first, log,
                       expect, simulated});
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
    if (rule->takesPort && parser.values(port).isEmpty() == !parser.isSet(all)) {
        parsed.error = QStringLiteral("%1 needs --port or --all, not both").arg(verbName);
        return parsed;
    }
    if (positional.size() > (rule->verb == Verb::Write ? 1 : 0)) {
        parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(positional.constLast());
        return parsed;
    }
    for (const QCommandLineOption& once : {trace, log, first, expect}) {
        if (parser.values(once).size() > 1) {
            parsed.error = QStringLiteral("only one --%1").arg(once.names().constFirst());
            return parsed;
        }
    }
    bool firstIsNumber = true;
    const int firstNumber = parser.isSet(first) ? parser.value(first).toInt(&firstIsNumber) : 1;
    if (!firstIsNumber || firstNumber < 0 || firstNumber > kFirstLimit) {
        parsed.error = QStringLiteral("--first needs a whole number from 0 to %1").arg(kFirstLimit);
        return parsed;
    }

    bool expectIsNumber = true;
    const int expected = parser.isSet(expect) ? parser.value(expect).toInt(&expectIsNumber) : 0;
    if (parser.isSet(expect) && (!parser.isSet(all) || !expectIsNumber || expected < 1 ||
                                 expected > platform::kPortCount)) {
        parsed.error = QStringLiteral("--expect goes with --all and needs a number from 1 to %1")
                           .arg(platform::kPortCount);
        return parsed;
    }

    Invocation invocation;
    invocation.verb = rule->verb;
    invocation.all = parser.isSet(all);
    invocation.expect = expected;
    invocation.first = firstNumber;
    invocation.logPath = parser.value(log);
    invocation.profilePath = positional.value(0);
    invocation.sets = parser.values(set);
    invocation.probe = parser.isSet(probe);
    invocation.json = parser.isSet(json);
    invocation.verify = !parser.isSet(noVerify);
    invocation.tracePath = parser.value(trace);
    invocation.simulatedModule = parser.isSet(simulated);
    const std::optional<QStringList> ports = PortsAsGiven(parser.values(port), parsed.error);
    if (!ports)
        return parsed;
    invocation.ports = *ports;
    parsed.invocation = invocation;
    return parsed;
}

} // namespace cli
