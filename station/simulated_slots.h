// What the window offers on a slot whose module is simulated inside the program, so that the
// line can be tried without hardware. Only the program's entry point knows the simulation.
#pragma once

#include <QString>

namespace station {

class SimulatedSlots {
public:
    virtual ~SimulatedSlots() = default;

    // A module never seen before, with an address of its own.
    virtual void putInNew(const QString& port) = 0;
    virtual void takeOut(const QString& port) = 0;
    // The module last taken out of this slot, as it was.
    virtual void putBack(const QString& port) = 0;
    // A new module that acknowledges a write but does not keep it, so that its verify fails.
    virtual void putInFaulty(const QString& port) = 0;
};

} // namespace station
