// cordelo-virtual-module: a simulated adapter module on a pseudo-terminal, mapped
// to a COM port number so that Cordelo Setup finds it.
#include "port_mapping.h"
#include "platform/printable_bytes.h"
#include "virtual_module.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QStringList>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace virtual_module;
using namespace std::chrono_literals;

constexpr int kFirstPort = 1;
constexpr int kLastPort = 16;
constexpr int kUsageError = 2;

std::mutex s_printMutex;
std::array<int, 2> s_signalPipe{-1, -1};

// One whole line at a time, flushed, so lines from the module's thread and the main
// thread never mix, even when stdout is a pipe.
void PrintLine(std::chrono::system_clock::time_point at, const std::string& text) {
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    // Local time conversion reads the process-wide time zone state: one thread at a time.
    std::lock_guard lock(s_printMutex);
    const QString stamp =
        QDateTime::fromMSecsSinceEpoch(milliseconds).toString(QStringLiteral("HH:mm:ss.zzz"));
    const std::string line = stamp.toStdString() + "  " + text + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

void Print(const std::string& text) {
    PrintLine(std::chrono::system_clock::now(), text);
}

void PrintError(const QString& text) {
    std::lock_guard lock(s_printMutex);
    std::fprintf(stderr, "cordelo-virtual-module: %s\n", qPrintable(text));
    std::fflush(stderr);
}

extern "C" void OnSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[1], &byte, 1);
}

bool InstallSignalHandlers() {
    if (::pipe(s_signalPipe.data()) != 0)
        return false;
    for (const int fd : s_signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

std::string SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}

std::string DescribeFaults(const Faults& faults) {
    QStringList parts;
    if (faults.silent)
        parts << QStringLiteral("silent");
    if (faults.answerPingsFrom > 1)
        parts << QStringLiteral("pings answered from attempt %1").arg(faults.answerPingsFrom);
    if (faults.ackText != "OK")
        parts
            << QStringLiteral("acknowledges with [%1]").arg(QString::fromStdString(faults.ackText));
    if (!faults.noReplyTo.empty())
        parts << QStringLiteral("no reply to %1").arg(QString::fromStdString(faults.noReplyTo));
    if (!faults.forget.empty())
        parts << QStringLiteral("acknowledges %1 but does not store it")
                     .arg(QString::fromStdString(faults.forget));
    if (faults.queryDelay > 0ms)
        parts << QStringLiteral("query reply delayed %1 ms").arg(faults.queryDelay.count());
    if (faults.queryCutAt) {
        parts << QStringLiteral("query reply cut after byte %1, %2 ms pause")
                     .arg(*faults.queryCutAt)
                     .arg(faults.queryCutPause.count());
    }
    if (!faults.noise.empty()) {
        parts << QStringLiteral("noise \"%1\" before every token")
                     .arg(QString::fromStdString(platform::PrintableBytes(faults.noise)));
    }
    if (faults.silentAfter)
        parts << QStringLiteral("silent after %1 ms").arg(faults.silentAfter->count());
    if (faults.hangUpAfter)
        parts << QStringLiteral("hangs up after %1 ms").arg(faults.hangUpAfter->count());
    return parts.isEmpty() ? std::string("none") : parts.join(QStringLiteral("; ")).toStdString();
}

struct Arguments {
    int comPort = kFirstPort;
    bool map = true;
    VirtualModuleOptions module;
};

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

// Fills the arguments from the command line; on a usage error prints it and
// returns false.
bool ParseArguments(const QCoreApplication& app, Arguments& arguments) {
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
        "The fault options below make it misbehave on purpose, for drills.\n"
        "Escapes accepted in texts: \\r \\n \\t \\0 \\\\ \\xHH."));
    parser.addHelpOption();

    const QCommandLineOption com(
        QStringLiteral("com"),
        QStringLiteral("COM port number (1-16) to map to the device. Default 1."),
        QStringLiteral("N"), QString::number(kFirstPort));
    const QCommandLineOption noMap(
        QStringLiteral("no-map"),
        QStringLiteral("Leave the [Ports] settings alone; only print the device."));
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
    parser.addOptions({com, noMap, name, firmware, unpaced, silent, pingFrom, ack, noReplyTo,
                       forget, queryDelay, cutQuery, cutPause, noise, noiseBytes, silentAfter,
                       hangUpAfter});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        PrintError(QStringLiteral("unexpected argument %1; see --help")
                       .arg(parser.positionalArguments().constFirst()));
        return false;
    }
    const auto fail = [](const QCommandLineOption& option, const QString& what) {
        PrintError(QStringLiteral("--%1 needs %2").arg(option.names().constFirst(), what));
        return false;
    };
    const auto text = [&parser](const QCommandLineOption& option) {
        return platform::UnescapeBytes(parser.value(option).toStdString());
    };

    const auto port = ParseCount(parser.value(com), kFirstPort);
    if (!port || *port > kLastPort)
        return fail(com, QStringLiteral("a port number from 1 to 16"));
    arguments.comPort = static_cast<int>(*port);
    arguments.map = !parser.isSet(noMap);

    ModuleSettings& settings = arguments.module.settings;
    Faults& faults = arguments.module.faults;
    if (parser.isSet(name))
        settings.name = text(name);
    if (parser.isSet(firmware))
        settings.firmware = text(firmware);
    if (parser.isSet(unpaced))
        arguments.module.charPeriod = std::chrono::nanoseconds::zero();
    faults.silent = parser.isSet(silent);
    if (parser.isSet(pingFrom)) {
        const auto attempt = ParseCount(parser.value(pingFrom), 1);
        if (!attempt || *attempt > 1'000'000)
            return fail(pingFrom, QStringLiteral("a whole number of at least 1"));
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
            return fail(queryDelay, QStringLiteral("a number of milliseconds"));
        faults.queryDelay = std::chrono::milliseconds(*delay);
    }
    if (parser.isSet(cutQuery)) {
        const auto cut = ParseCount(parser.value(cutQuery), 1);
        if (!cut)
            return fail(cutQuery, QStringLiteral("a byte count of at least 1"));
        faults.queryCutAt = static_cast<std::size_t>(*cut);
    }
    const auto pause = ParseCount(parser.value(cutPause), 0);
    if (!pause)
        return fail(cutPause, QStringLiteral("a number of milliseconds"));
    faults.queryCutPause = std::chrono::milliseconds(*pause);
    if (parser.isSet(noise))
        faults.noise = kDefaultNoise;
    if (parser.isSet(noiseBytes))
        faults.noise = text(noiseBytes);
    if (parser.isSet(silentAfter)) {
        faults.silentAfter = ParseSeconds(parser.value(silentAfter));
        if (!faults.silentAfter)
            return fail(silentAfter, QStringLiteral("a number of seconds"));
    }
    if (parser.isSet(hangUpAfter)) {
        faults.hangUpAfter = ParseSeconds(parser.value(hangUpAfter));
        if (!faults.hangUpAfter)
            return fail(hangUpAfter, QStringLiteral("a number of seconds"));
    }
    return true;
}

std::string DescribeRestore(PortMapping::Restored restored, const PortMapping& mapping) {
    const std::string entry = "[Ports] COM" + std::to_string(mapping.comPort());
    switch (restored) {
    case PortMapping::Restored::PreviousPutBack:
        return "restored " + entry + "=" + mapping.previous().value_or(QString()).toStdString();
    case PortMapping::Restored::KeyRemoved:
        return "removed " + entry + " (there was none before)";
    case PortMapping::Restored::ChangedByOthers:
        return "left " + entry + " as it is: it was changed by someone else meanwhile";
    case PortMapping::Restored::NothingRecorded:
        break;
    }
    return "mapping untouched";
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cordelo-virtual-module"));

    Arguments arguments;
    if (!ParseArguments(app, arguments))
        return kUsageError;

    // Before anything is mapped, so that no signal can leave a stale mapping behind.
    if (!InstallSignalHandlers()) {
        PrintError(QStringLiteral("cannot install signal handlers"));
        return EXIT_FAILURE;
    }
    int stopSignal = 0;
    QSocketNotifier signalNotifier(s_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&stopSignal] {
        unsigned char byte = 0;
        while (::read(s_signalPipe[0], &byte, 1) == 1) {
            if (stopSignal == 0)
                stopSignal = byte;
        }
        QCoreApplication::quit();
    });

    arguments.module.log = [](const LogEntry& entry) { PrintLine(entry.at, entry.text); };
    arguments.module.onHangUp = [&app] {
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    const Faults faults = arguments.module.faults;
    const std::string firmware = arguments.module.settings.firmware;
    VirtualModule module(std::move(arguments.module));
    if (!module.start()) {
        PrintError(QStringLiteral("cannot open a pseudo-terminal: %1")
                       .arg(QString::fromStdString(module.errorText())));
        return EXIT_FAILURE;
    }
    const std::string device = module.devicePath();
    Print("Cordelo virtual module, firmware " + firmware);
    Print("device " + device);

    PortMapping mapping;
    const std::string entry = "[Ports] COM" + std::to_string(arguments.comPort);
    if (arguments.map) {
        if (!mapping.record(arguments.comPort, QString::fromStdString(device))) {
            PrintError(QStringLiteral("cannot write %1").arg(SettingsLocation()));
            module.stop();
            return EXIT_FAILURE;
        }
        const std::string before = mapping.previous() ? "was " + mapping.previous()->toStdString()
                                                      : std::string("was not set");
        Print("mapped " + entry + "=" + device + " (" + before + ") in " +
              SettingsLocation().toStdString());
        Print("in Cordelo Setup choose COM" + std::to_string(arguments.comPort));
    } else {
        Print("mapping left alone (--no-map)");
    }
    Print("fault options: " + DescribeFaults(faults));
    Print("ready; Ctrl-C stops");

    QCoreApplication::exec();

    if (stopSignal != 0)
        Print("stopping on " + SignalName(stopSignal));
    else if (module.isHungUp())
        Print("stopping: the module hung up");
    module.stop();
    if (arguments.map)
        Print(DescribeRestore(mapping.restore(), mapping));
    Print("stopped");
    return EXIT_SUCCESS;
}
