// cordelo-cli from its arguments to its exit status, with stdout and stderr handed in.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

struct Console {
    QTextStream& out;
    QTextStream& err;
    // Steps are told on stderr only when someone watches it.
    bool showSteps = false;
};

// The arguments as the program got them, its name first; returns the exit status.
int RunCli(const QStringList& arguments, Console& console);

} // namespace cli
