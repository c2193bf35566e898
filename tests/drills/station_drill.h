// The station's fault drill: a line of eight simulated slots, modules put in and taken out at
// random while faults strike, and then what the line and the record must always keep.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace doubles {
class ScratchPostgres;
}

namespace drills {

enum class StationFault {
    QuickSwap,
    InstantSwap,
    SlowSwap,
    PutBackUnchanged,
    PutBackChanged,
    Clone,
    PulledMidWrite,
    AnswersOnlyPings,
    ServerStalled,
    LineStopped,
    ValuesNearlyUsedUp,
    StationTerminated,
};
inline constexpr std::size_t kStationFaults = 12;
// Each kind's name in the report, in the order above.
inline constexpr std::array<const char*, kStationFaults> kStationFaultNames = {
    "swaps of 0.2 s",
    "swaps with no pause",
    "swaps of 3 s",
    "modules put back unchanged",
    "modules put back changed",
    "clones",
    "pulls mid-write",
    "modules that answer only pings",
    "record server stalled and resumed",
    "line stopped mid-run and started again",
    "values list nearly used up",
    "cordelo-station ended by SIGTERM mid-write and started again"};

enum class StationInvariant {
    NoneMissed,
    OneOwnerEach,
    WrittenOncePerPutIn,
    EveryWriteHasItsRow,
    CountersMatchTheRecord,
    StopsWithinFiveSeconds,
};
inline constexpr std::size_t kStationInvariants = 6;
inline constexpr std::array<const char*, kStationInvariants> kStationInvariantNames = {
    "every module put in that answers ends provisioned or failed in words, none missed",
    "no unit number or values row on two addresses",
    "no module written twice for one put-in",
    "every module written has its row, in the record or the spool",
    "the line's counters equal the record's figures for the run",
    "every stop and every SIGTERM ends the line within 5 s"};

struct StationDrillPlan {
    // --record TARGET: an SQLite file or a postgresql:// URL.
    QString target;
    // The values lists and the line's spool.
    QString folder;
    // cordelo-station, which the drill ends with SIGTERM in the middle of a write and starts
    // again; none leaves that fault out.
    QString stationProgram;
    // The server behind a postgresql:// target, stalled during the drill; null for a file.
    doubles::ScratchPostgres* server = nullptr;
    int slotCount = 8;
    // Faults and put-ins played, a few slots at a time.
    int steps = 24;
    // Fixed, so that a drill that failed can be run again the same way.
    unsigned seed = 1719;
};

struct StationDrillReport {
    int putIns = 0;
    std::array<int, kStationFaults> faults{};
    // Each invariant's checks, and how many of them failed.
    std::array<int, kStationInvariants> checked{};
    std::array<int, kStationInvariants> broken{};
    // One line per check that failed, naming the slot, the module and what was wrong.
    QStringList failures;

    int played(StationFault fault) const { return faults[static_cast<std::size_t>(fault)]; }
};

// Runs the drill on simulated slots and the record. Blocks; needs a QCoreApplication, whose
// events it runs while it waits.
StationDrillReport RunStationDrill(const StationDrillPlan& plan);

} // namespace drills
