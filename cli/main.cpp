// cordelo-cli: reads, writes and resets an adapter module from scripts.
#include "cli_run.h"

#include "platform/process_end.h"
#include "platform/terminal_width.h"
#include "platform/thread_safe_patterns.h"
#include "production_record/driver_warnings.h"
#include "virtual_module/simulated_modules.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace {

std::atomic<bool> s_interrupted{false};

// The first Ctrl-C lets every module finish the command it is on; a second one ends the
// program at once.
extern "C" void OnInterrupt(int) {
    s_interrupted = true;
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

int main(int argc, char** argv) {
    platform::KeepPatternsOffThreadStacks();
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("cordelo-cli"));
        production_record::QuietDriverWarnings();
        QTextStream out(stdout);
        QTextStream err(stderr);
        std::signal(SIGINT, OnInterrupt);
        const bool watched = isatty(2) != 0;
        // One simulated module for the whole run, so that what a write sets its verifying
        // query reads.
        const virtual_module::SimulatedModules simulated;
        cli::Console console{
            out, err,       watched, &s_interrupted, watched ? platform::StderrColumns() : 0,
            {},  &simulated};
        status = cli::RunCli(QCoreApplication::arguments(), console);
    }
    return platform::EndProcess(status);
}
