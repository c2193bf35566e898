#include "program_options.h"

#include "module_address.h"
#include "module_profile/profile.h"
#include "platform/printable_bytes.h"

#include <QCommandLineParser>

#include <cmath>
#include <optional>

namespace virtual_module {
namespace {

std::optional<long long> ParseCount(const QString& text, long long minimum) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok || value < minimum)
        return std::nullopt;
    return value;
}

std::optional<std::chrono::milliseconds> ParseSeconds(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

// The module's own address is written in the form the tool checks a connect-to address in,
// so a rehearsal's record holds addresses as a real line's would.
std::optional<std::string> ParseAddress(const QString& text) {
    profile::ModuleSettings checked;
    if (profile::SetModuleKey(checked, QStringLiteral("address"), text))
        return std::nullopt;
    return checked.address->toStdString();
}

bool HasFaults(Faults faults) {
    // The pause of a cut reply is no fault of its own.
    faults.queryCutPause = Faults{}.queryCutPause;
    return faults != Faults{};
}

} // namespace

VirtualModuleOptions OptionsOf(const ProgramOptions& options, const PlannedModule& planned) {
    VirtualModuleOptions module = options.module;
    module.settings.ownAddress = planned.ownAddress;
    if (!planned.faulty)
        module.faults = Faults{};
    return module;
}

std::variant<ProgramOptions, QString> ParseProgramOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Cordelo adapter module for trying Cordelo Setup without hardware.\n"
        "\n"
        "Opens a pseudo-terminal, records its device in Cordelo Setup's settings as\n"
        "[Ports] COMn (COM1 unless --com is given), so that Cordelo Setup opens it\n"
        "when COMn is chosen, and answers the module commands <PING>, <VERS>,\n"
        "<QUERY>, <RESET>, <NAME=..>, <PKEY=..>, <BAUD=..>, <SBIT=..>, <PRTY=..>,\n"
        "<MASTER>, <ADDR=..>, <SLAVE>, <DISCOVERABLE>, <INVISIBLE>, <PIN_ON> and\n"
        "<PIN_OFF> as a real module does, paced at 9600 baud. Settings are kept in\n"
        "memory only. Every command received and every reply sent is printed with\n"
        "a timestamp. Ctrl-C (SIGINT), SIGTERM or SIGHUP stop it and restore the\n"
        "previous [Ports] COMn entry (or remove it if there was none).\n"
        "\n"
        "With --count N it runs N modules, each on a pseudo-terminal of its own, on\n"
        "COMn to COMn+N-1, each with an address of its own, so that a production\n"
        "bench can be rehearsed; each line it prints then starts with the module.\n"
        "\n"
        "The fault options below make it misbehave on purpose, for drills; with\n"
        "--fail-module only the modules named there misbehave.\n"
        "Escapes accepted in texts: \\r \\n \\t \\0 \\\\ \\xHH."));
    parser.addHelpOption();

    const QCommandLineOption com(
        QStringLiteral("com"),
        QStringLiteral("COM port number (1-16) to map to the device (the first module's with "
                       "--count). Default 1."),
        QStringLiteral("N"), QString::number(kFirstComPort));
    const QCommandLineOption noMap(
        QStringLiteral("no-map"),
        QStringLiteral("Leave the [Ports] settings alone; only print the device."));
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("Run N modules (1-16), each on its own pseudo-terminal and COM number, "
                       "from --com on; up to %1 with --no-map. Default 1.")
            .arg(kMostUnmappedModules),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("The module's own device address, four, two, two and four hex digits "
                       "such as \"0012 6f 3a 0001\"; with --count the first module's, and each "
                       "next module's one more. Default \"%1\".")
            .arg(QString::fromStdString(ModuleSettings{}.ownAddress)),
        QStringLiteral("ADDR"));
    const QCommandLineOption failModule(
        QStringLiteral("fail-module"),
        QStringLiteral("Give the fault options to module K alone (1 to N, in COM order); "
                       "repeat it for more. Without it every module has them."),
        QStringLiteral("K"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Initial device name. Default \"Cordelo-BT\"."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption firmware(
        QStringLiteral("firmware"),
        QStringLiteral("Version text answered to <VERS> and reported as field 12 of the query "
                       "reply. Default \"v2.0\"; Cordelo Setup accepts only v1.1 and v2.0."),
        QStringLiteral("TEXT"));
    const QCommandLineOption unpaced(
        QStringLiteral("unpaced"),
        QStringLiteral("Send every reply at once instead of at 9600 baud "
                       "(about 1.04 ms per character)."));
    const QCommandLineOption silent(
        QStringLiteral("silent"),
        QStringLiteral("Fault: answer nothing (commands are still printed)."));
    const QCommandLineOption pingFrom(
        QStringLiteral("ping-from"),
        QStringLiteral("Fault: leave pings 1 to N-1 unanswered and answer from ping N on."),
        QStringLiteral("N"));
    const QCommandLineOption ack(
        QStringLiteral("ack"),
        QStringLiteral("Fault: acknowledge write commands with [TEXT] instead of [OK], e.g. ok."),
        QStringLiteral("TEXT"));
    const QCommandLineOption noReplyTo(
        QStringLiteral("no-reply-to"),
        QStringLiteral("Fault: neither answer nor apply the command with this keyword, e.g. ADDR."),
        QStringLiteral("KEYWORD"));
    const QCommandLineOption forget(
        QStringLiteral("forget"),
        QStringLiteral("Fault: acknowledge the write command with this keyword, e.g. NAME, but "
                       "do not store its setting, so that a later query still reports the old "
                       "value."),
        QStringLiteral("KEYWORD"));
    const QCommandLineOption queryDelay(
        QStringLiteral("query-delay"),
        QStringLiteral("Fault: wait MS milliseconds before the first byte of the query reply."),
        QStringLiteral("MS"));
    const QCommandLineOption cutQuery(
        QStringLiteral("cut-query"),
        QStringLiteral("Fault: cut the query reply after byte K and pause before the rest "
                       "(see --cut-pause)."),
        QStringLiteral("K"));
    const QCommandLineOption cutPause(
        QStringLiteral("cut-pause"),
        QStringLiteral("Pause in milliseconds between the two parts of a cut query reply. "
                       "Default 300."),
        QStringLiteral("MS"), QStringLiteral("300"));
    const QCommandLineOption noise(
        QStringLiteral("noise"),
        QStringLiteral("Fault: put noise bytes (\"\\r\\n~\\x07 \") before every reply token, "
                       "outside the brackets."));
    const QCommandLineOption noiseBytes(
        QStringLiteral("noise-bytes"),
        QStringLiteral("Fault: like --noise, with these bytes as the noise."),
        QStringLiteral("TEXT"));
    const QCommandLineOption silentAfter(
        QStringLiteral("silent-after"),
        QStringLiteral("Fault: go silent SEC seconds after start (fractions allowed)."),
        QStringLiteral("SEC"));
    const QCommandLineOption hangUpAfter(
        QStringLiteral("hang-up-after"),
        QStringLiteral("Fault: close the pseudo-terminal SEC seconds after start, as if the "
                       "module were unplugged, then restore the mapping and exit."),
        QStringLiteral("SEC"));
    parser.addOptions({com,      noMap,     count,      address,     failModule,
                       name,     firmware,  unpaced,    silent,      pingFrom,
                       ack,      noReplyTo, forget,     queryDelay,  cutQuery,
                       cutPause, noise,     noiseBytes, silentAfter, hangUpAfter});
    parser.process(arguments);

    if (!parser.positionalArguments().isEmpty()) {
        return QStringLiteral("unexpected argument %1; see --help")
            .arg(parser.positionalArguments().constFirst());
    }
    const auto needs = [](const QCommandLineOption& option, const QString& what) {
        return QStringLiteral("--%1 needs %2").arg(option.names().constFirst(), what);
    };
    const auto text = [&parser](const QCommandLineOption& option) {
        return platform::UnescapeBytes(parser.value(option).toStdString());
    };

    ProgramOptions options;
    const auto firstPort = ParseCount(parser.value(com), kFirstComPort);
    if (!firstPort || *firstPort > kLastComPort)
        return needs(com, QStringLiteral("a port number from 1 to 16"));
    options.map = !parser.isSet(noMap);
    const auto modules = ParseCount(parser.value(count), 1);
    if (!modules || *modules > (options.map ? kLastComPort : kMostUnmappedModules)) {
        return needs(
            count,
            options.map
                ? QStringLiteral("a number of modules from 1 to 16 (up "
                                 "to %1 with --no-map)")
                      .arg(kMostUnmappedModules)
                : QStringLiteral("a number of modules from 1 to %1").arg(kMostUnmappedModules));
    }
    if (options.map && *firstPort + *modules - 1 > kLastComPort) {
        return QStringLiteral("--count %1 from COM%2 runs past COM16; start lower with --com")
            .arg(*modules)
            .arg(*firstPort);
    }

    ModuleSettings& settings = options.module.settings;
    Faults& faults = options.module.faults;
    if (parser.isSet(address)) {
        const auto own = ParseAddress(parser.value(address));
        if (!own)
            return needs(address,
                         QStringLiteral("the form xxxx xx xx xxxx, such as 0012 6f 3a 0001"));
        settings.ownAddress = *own;
    }
    if (parser.isSet(name))
        settings.name = text(name);
    if (parser.isSet(firmware))
        settings.firmware = text(firmware);
    if (parser.isSet(unpaced))
        options.module.charPeriod = std::chrono::nanoseconds::zero();
    faults.silent = parser.isSet(silent);
    if (parser.isSet(pingFrom)) {
        const auto attempt = ParseCount(parser.value(pingFrom), 1);
        if (!attempt || *attempt > 1'000'000)
            return needs(pingFrom, QStringLiteral("a whole number of at least 1"));
        faults.answerPingsFrom = static_cast<int>(*attempt);
    }
    if (parser.isSet(ack))
        faults.ackText = text(ack);
    if (parser.isSet(noReplyTo))
        faults.noReplyTo = text(noReplyTo);
    if (parser.isSet(forget))
        faults.forget = text(forget);
    if (parser.isSet(queryDelay)) {
        const auto delay = ParseCount(parser.value(queryDelay), 0);
        if (!delay)
            return needs(queryDelay, QStringLiteral("a number of milliseconds"));
        faults.queryDelay = std::chrono::milliseconds(*delay);
    }
    if (parser.isSet(cutQuery)) {
        const auto cut = ParseCount(parser.value(cutQuery), 1);
        if (!cut)
            return needs(cutQuery, QStringLiteral("a byte count of at least 1"));
        faults.queryCutAt = static_cast<std::size_t>(*cut);
    }
    const auto pause = ParseCount(parser.value(cutPause), 0);
    if (!pause)
        return needs(cutPause, QStringLiteral("a number of milliseconds"));
    faults.queryCutPause = std::chrono::milliseconds(*pause);
    if (parser.isSet(noise))
        faults.noise = kDefaultNoise;
    if (parser.isSet(noiseBytes))
        faults.noise = text(noiseBytes);
    if (parser.isSet(silentAfter)) {
        faults.silentAfter = ParseSeconds(parser.value(silentAfter));
        if (!faults.silentAfter)
            return needs(silentAfter, QStringLiteral("a number of seconds"));
    }
    if (parser.isSet(hangUpAfter)) {
        faults.hangUpAfter = ParseSeconds(parser.value(hangUpAfter));
        if (!faults.hangUpAfter)
            return needs(hangUpAfter, QStringLiteral("a number of seconds"));
    }

    std::vector<bool> faulty(static_cast<std::size_t>(*modules), !parser.isSet(failModule));
    for (const QString& value : parser.values(failModule)) {
        const auto number = ParseCount(value, 1);
        if (!number || *number > *modules)
            return needs(failModule, QStringLiteral("a module from 1 to %1").arg(*modules));
        faulty[static_cast<std::size_t>(*number - 1)] = true;
    }
    // Aiming nothing at a module is surely a mistyped command line, not a healthy run.
    if (parser.isSet(failModule) && !HasFaults(faults))
        return QStringLiteral("--fail-module needs a fault option to give the module");

    for (int number = 1; number <= *modules; ++number) {
        const auto own = AddressAfter(settings.ownAddress, static_cast<unsigned>(number - 1));
        if (!own) {
            return QStringLiteral("--count %1 from address %2 runs past ffff ff ff ffff")
                .arg(*modules)
                .arg(QString::fromStdString(settings.ownAddress));
        }
        options.modules.push_back({number, static_cast<int>(*firstPort) + number - 1, *own,
                                   faulty[static_cast<std::size_t>(number - 1)]});
    }
    return options;
}

} // namespace virtual_module
