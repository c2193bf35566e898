// cordelo-cli: reads, writes and resets an adapter module from scripts.
#include "cli_run.h"

#include "platform/process_end.h"
#include "platform/terminal_width.h"
#include "platform/thread_safe_patterns.h"
#include "production_record/driver_warnings.h"
#include "virtual_module/simulated_modules.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

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

// Drawing a label's text needs Qt's fonts, which only a QGuiApplication has; without labels the
// program stays clear of the windowing system altogether.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        const QByteArray argument(argv[index]);
        if (argument != "label" && argument != "--label" && !argument.startsWith("--label="))
            continue;
#ifndef Q_OS_WIN
        // No display is needed to draw into a file or send to a print queue.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    platform::KeepPatternsOffThreadStacks();
    int status = 0;
    {
        const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
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
