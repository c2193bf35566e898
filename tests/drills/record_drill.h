// The production record's fault drill: benches of cordelo-cli writing virtual modules at once,
// round after round, while faults strike, and then what the record must always keep.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace doubles {
class ScratchPostgres;
}

namespace drills {

enum class DrillFault {
    ServerRestarted,
    LockHeld,
    BenchKilled,
    BenchInterrupted,
    ModuleSilenced,
    ValuesRewritten
};
inline constexpr std::size_t kDrillFaults = 6;
// Each kind's name in the report, in the order above.
inline constexpr std::array<const char*, kDrillFaults> kDrillFaultNames = {
    "server restarts",          "locks held",          "benches killed", "benches interrupted",
    "modules silent mid-write", "values list rewrites"};

struct RecordDrillPlan {
    QString cliProgram;
    // --record TARGET: an SQLite file or a postgresql:// URL.
    QString target;
    // The values list, the benches' logs and their data and settings folders.
    QString folder;
    // The server behind a postgresql:// target, restarted during a round; null for a file.
    doubles::ScratchPostgres* server = nullptr;
    int benches = 3;
    // New modules each bench takes on every round; it writes all of its modules each round.
    int modulesPerRound = 2;
    int rounds = 3;
};

struct RecordDrillReport {
    int runs = 0;
    int modules = 0;
    // Distinct unit numbers in the record.
    int units = 0;
    std::array<int, kDrillFaults> faults{};
    // Invariants checked, and how many of them failed.
    int checked = 0;
    int broken = 0;
    // One line per invariant that failed, naming the run, the address and what was wrong, and
    // any fault of the drill itself.
    QStringList failures;

    int injected(DrillFault fault) const { return faults[static_cast<std::size_t>(fault)]; }
};

// Runs plan.rounds rounds with faults, then one clean round that replays what was spooled,
// and checks the record and the modules. Blocks; needs a Qt event loop's thread.
RecordDrillReport RunRecordDrill(const RecordDrillPlan& plan);

} // namespace drills
