// What one slot of the station shows: its port, and the state of the module in it in words.
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <optional>

namespace station {

enum class SlotPhase {
    // The line is not running.
    Idle,
    // Nothing answers on the port: put a module in.
    Waiting,
    // A module is being checked, read, written, verified and recorded.
    Working,
    // The module passed; it stays so until it is taken out.
    Passed,
    // The module failed; taken out and put back, it is tried again.
    Failed,
    // The port itself cannot be used (not there, busy, no permission).
    PortProblem,
    // A write was cut short (the line stopped, the module was pulled): the module holds only
    // part of its settings until it is put in again and written whole.
    Interrupted,
};

struct SlotState {
    QString port;
    QString device;
    SlotPhase phase = SlotPhase::Idle;
    // Working: the step, such as "writing 3 of 9". Failed and PortProblem: why, in words, with
    // the advice the tool gives.
    QString detail;
    // The module in the slot, once read.
    QString deviceAddress;
    // Passed: what the module was given.
    std::optional<int> unit;
    QString name;
    // Passed, with labels: where the unit's label went, or loudly why it was not printed.
    QString label;
    // Its label was not printed: the tile offers to print it again.
    bool labelNotPrinted = false;
};

// One unit as the line's list of recent units shows it.
struct FinishedUnit {
    QDateTime at;
    QString port;
    QString deviceAddress;
    std::optional<int> unit;
    QString name;
    bool passed = false;
    // Why it failed, in words; empty when it passed.
    QString reason;
    // Its row waits in the spool until the record answers again.
    bool spooled = false;
};

// The line at a glance since the station started: a unit counts once, by its latest outcome.
struct LineFigures {
    int passed = 0;
    int failed = 0;
    // Units that passed within the last hour (or since the station started, within its first).
    double unitsPerHour = 0;
    // Of the units tried, the share that passed the first time they were tried (0 to 1);
    // nothing before any was tried.
    std::optional<double> firstPassYield;
    // The rows of the values list no module was given yet; nothing without a list.
    std::optional<int> valuesLeft;
    // Rows of the record that wait in its spool, stored as soon as it answers again; nothing
    // without a record.
    std::optional<int> rowsWaiting;
};

} // namespace station

Q_DECLARE_METATYPE(station::SlotState)
Q_DECLARE_METATYPE(station::FinishedUnit)
