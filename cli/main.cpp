// cordelo-cli: reads, writes and resets an adapter module from scripts.
#include "cli_run.h"

#include <QCoreApplication>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cordelo-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Console console{out, err, isatty(2) != 0};
    const int status = cli::RunCli(QCoreApplication::arguments(), console);
    out.flush();
    err.flush();
    return status;
}
