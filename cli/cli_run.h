// cordelo-cli from its arguments to its exit status, with stdout and stderr handed in.
#pragma once

#include "platform/port_source.h"

#include <QStringList>
#include <QTextStream>

#include <atomic>

namespace cli {

struct Console {
    QTextStream& out;
    QTextStream& err;
    // Steps are told on stderr only when someone watches it.
    bool showSteps = false;
    // Set (by Ctrl-C) to stop every module at its next step.
    const std::atomic<bool>* interrupted = nullptr;
    // The width of the terminal on stderr, 0 when unknown: live lines are cut to it.
    int columns = 0;
    // Where the serial devices are looked for.
    platform::PortTree tree{};
    // The modules simulated inside the program, which --virtual-module talks to; only the
    // program's entry point makes them.
    const platform::PortSource* simulated = nullptr;
};

// The arguments as the program got them, its name first; returns the exit status.
int RunCli(const QStringList& arguments, Console& console);

} // namespace cli
