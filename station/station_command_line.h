// The command line of cordelo-station: the job's options, as the production run reads them
// for both front ends, or a job file, or nothing (the job is then given in the window).
#pragma once

#include "production_run/job.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace station {

struct StationCommandLine {
    // Given the job options: the job, which runs at once.
    std::optional<production_run::Job> job;
    // Given one file: the job file, which runs at once.
    QString jobFile;
    // Slots on modules simulated inside the program rather than serial ports.
    bool simulatedModules = false;
    bool help = false;
    bool version = false;
    // Set when the command line is wrong: what to tell the user.
    QString error;
};

StationCommandLine ParseStationCommandLine(const QStringList& arguments);

// Why a job cannot run on simulated modules, or nothing.
std::optional<QString> RefusedOnSimulatedModules(const production_run::Job& job);

// The text of --help: the station's options.
QString StationUsageText();

} // namespace station
