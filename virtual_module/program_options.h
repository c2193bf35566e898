// What cordelo-virtual-module is asked to run: how many modules, on which COM numbers, with
// which own addresses, and which of them carry the fault options.
#pragma once

#include "virtual_module.h"

#include <QStringList>

#include <string>
#include <variant>
#include <vector>

namespace virtual_module {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 16;
// Without COM numbers (--no-map), as many as a bench of many modules at once is measured with.
inline constexpr int kMostUnmappedModules = 256;

// One module of the run.
struct PlannedModule {
    // Counted from 1, as --fail-module counts.
    int number = 1;
    int comPort = kFirstComPort;
    std::string ownAddress;
    // Whether the fault options apply to it.
    bool faulty = false;
};

struct ProgramOptions {
    bool map = true;
    // The settings, pacing and faults every module starts from.
    VirtualModuleOptions module;
    std::vector<PlannedModule> modules;
};

// The options of one module of the run, from the shared ones.
VirtualModuleOptions OptionsOf(const ProgramOptions& options, const PlannedModule& planned);

// Reads the command line (the program's name first). A usage error is the message to
// print; --help prints the help and exits, as QCommandLineParser does.
std::variant<ProgramOptions, QString> ParseProgramOptions(const QStringList& arguments);

} // namespace virtual_module
