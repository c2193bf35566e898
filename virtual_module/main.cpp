// cordelo-virtual-module: simulated adapter modules on pseudo-terminals, each mapped to a
// COM port number so that Cordelo Setup and cordelo-cli find it.
#include "port_mapping.h"
#include "platform/printable_bytes.h"
#include "platform/stop_signals_posix.h"
#include "program_options.h"
#include "virtual_module.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include <unistd.h>

namespace {

using namespace virtual_module;
using namespace std::chrono_literals;

constexpr int kUsageError = 2;

std::mutex s_printMutex;

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

// One module of the run with its [Ports] entry; its lines start with `prefix`.
struct Station {
    PlannedModule planned;
    std::string prefix;
    std::unique_ptr<VirtualModule> module;
    PortMapping mapping;
    bool ended = false;
};

void EndStation(Station& station, bool map) {
    station.module->stop();
    if (map)
        Print(station.prefix + DescribeRestore(station.mapping.restore(), station.mapping));
    station.ended = true;
}

void EndStations(std::vector<std::unique_ptr<Station>>& stations, bool map) {
    for (const auto& station : stations) {
        if (!station->ended)
            EndStation(*station, map);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cordelo-virtual-module"));

    const auto parsed = ParseProgramOptions(QCoreApplication::arguments());
    if (const auto* error = std::get_if<QString>(&parsed)) {
        PrintError(*error);
        return kUsageError;
    }
    const ProgramOptions& options = std::get<ProgramOptions>(parsed);

    // Before anything is mapped, so that no signal can leave a stale mapping behind.
    const int stopSignals = platform::StopSignalsToPipe();
    if (stopSignals < 0) {
        PrintError(QStringLiteral("cannot install signal handlers"));
        return EXIT_FAILURE;
    }
    int stopSignal = 0;
    QSocketNotifier signalNotifier(stopSignals, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app,
                     [&stopSignal, stopSignals] {
                         unsigned char byte = 0;
                         while (::read(stopSignals, &byte, 1) == 1) {
                             if (stopSignal == 0)
                                 stopSignal = byte;
                         }
                         QCoreApplication::quit();
                     });

    const bool several = options.modules.size() > 1;
    Print("Cordelo virtual module, firmware " + options.module.settings.firmware +
          (several ? ", " + std::to_string(options.modules.size()) + " modules" : std::string()));
    std::vector<std::unique_ptr<Station>> stations;
    for (const PlannedModule& planned : options.modules) {
        auto& station = *stations.emplace_back(std::make_unique<Station>());
        station.planned = planned;
        station.prefix = several ? "module " + std::to_string(planned.number) + ": " : "";

        VirtualModuleOptions moduleOptions = OptionsOf(options, planned);
        moduleOptions.log = [prefix = station.prefix](const LogEntry& entry) {
            PrintLine(entry.at, prefix + entry.text);
        };
        // An unplugged module gives its COM number back at once; the program ends with the last.
        moduleOptions.onHangUp = [&app, &stations, &station, map = options.map] {
            QMetaObject::invokeMethod(
                &app,
                [&stations, &station, map] {
                    EndStation(station, map);
                    if (std::all_of(stations.begin(), stations.end(),
                                    [](const auto& each) { return each->ended; }))
                        QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        };
        const std::string faults = DescribeFaults(moduleOptions.faults);
        station.module = std::make_unique<VirtualModule>(std::move(moduleOptions));
        if (!station.module->start()) {
            PrintError(QStringLiteral("%1cannot open a pseudo-terminal: %2")
                           .arg(QString::fromStdString(station.prefix),
                                QString::fromStdString(station.module->errorText())));
            EndStations(stations, options.map);
            return EXIT_FAILURE;
        }
        const std::string device = station.module->devicePath();
        Print(station.prefix + "device " + device);
        Print(station.prefix + "address " + planned.ownAddress);
        if (options.map) {
            if (!station.mapping.record(planned.comPort, QString::fromStdString(device))) {
                PrintError(QStringLiteral("cannot write %1").arg(SettingsLocation()));
                EndStations(stations, options.map);
                return EXIT_FAILURE;
            }
            const auto& previous = station.mapping.previous();
            const std::string before =
                previous ? "was " + previous->toStdString() : std::string("was not set");
            Print(station.prefix + "mapped [Ports] COM" + std::to_string(planned.comPort) + "=" +
                  device + " (" + before + ") in " + SettingsLocation().toStdString());
        }
        Print(station.prefix + "fault options: " + faults);
    }
    if (options.map) {
        Print(
            "in Cordelo Setup choose COM" + std::to_string(options.modules.front().comPort) +
            (several ? " to COM" + std::to_string(options.modules.back().comPort) : std::string()));
    } else {
        Print("mapping left alone (--no-map)");
    }
    Print("ready; Ctrl-C stops");

    QCoreApplication::exec();

    if (stopSignal != 0)
        Print("stopping on " + SignalName(stopSignal));
    else
        Print(several ? "stopping: every module hung up" : "stopping: the module hung up");
    EndStations(stations, options.map);
    Print("stopped");
    return EXIT_SUCCESS;
}
