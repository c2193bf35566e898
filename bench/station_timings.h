// The station on virtual modules: how soon a module put in gets its first write command, one
// unit's time against cordelo-cli's for the same job and with labels against without, the CPU
// of slots that wait, and the longest stall of the window's event loop while many slots write
// at once.
#pragma once

#include <QString>

#include <chrono>
#include <optional>
#include <vector>

namespace bench {

using StationMs = std::chrono::duration<double, std::milli>;

struct StationTimings {
    // From the moment a module in a waiting slot starts to answer to its first write command,
    // put in at moments spread evenly over the slot's ping period.
    std::vector<StationMs> toFirstWrite;
    // What the wire needs for that: half the ping period on average, then the replies to one
    // ping, the version and the settings at 9600 baud, by the lengths of the texts.
    StationMs floor{0};
    // One unit, from the slot's first command to the module to its row, and the same job
    // through cordelo-cli write, process start to end (in turns, each on a module of its own).
    std::vector<StationMs> stationUnit;
    std::vector<StationMs> cliUnit;
    // The same unit with the default label printed into a PDF folder, in turns with those
    // above, and how long after the unit's row its slot showed the label printed.
    std::vector<StationMs> stationUnitWithLabels;
    std::vector<StationMs> labelAfterRow;
};

// `runs` modules, each put in a waiting slot; cordelo-cli from `directory`.
StationTimings MeasureStationUnits(const QString& directory, int runs);
// The CPU of `count` slots whose ports have no module in them, in percent of one core; the
// silent modules are cordelo-virtual-module processes from `directory`.
std::optional<double> MeasureWaitingSlotsCpu(const QString& directory, int count,
                                             std::chrono::seconds span);
// The longest gap between two turns of the event loop while `count` modules are provisioned at
// once, with every state change painted by the station's window.
std::optional<StationMs> MeasureLongestStall(int count);

} // namespace bench
