#include "startup_cost.h"

#include <QByteArray>

#include <optional>
#include <string>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {
namespace {

std::optional<StartupRun> RunOnce(const QByteArray& program) {
    int output[2];
    if (::pipe(output) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addclose(&actions, output[0]);

    char* const arguments[] = {const_cast<char*>(program.constData()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned =
        ::posix_spawn(&child, program.constData(), &actions, nullptr, arguments, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(output[0]);
        return std::nullopt;
    }

    StartupRun run;
    bool painted = false;
    std::string said;
    char chunk[256];
    ssize_t got = 0;
    while ((got = ::read(output[0], chunk, sizeof chunk)) > 0) {
        said.append(chunk, static_cast<std::size_t>(got));
        const auto found = said.find("first-paint ");
        if (!painted && found != std::string::npos && said.find('\n', found) != std::string::npos) {
            run.toFirstPaint = std::chrono::steady_clock::now() - start;
            run.peakKiB = std::atol(said.c_str() + found + std::strlen("first-paint "));
            painted = true;
        }
    }
    ::close(output[0]);

    int status = 0;
    ::waitpid(child, &status, 0);
    if (!painted || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return run;
}

} // namespace

StartupComparison CompareStartup(const QString& program, const QString& baseline, int runs) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const QByteArray programPath = program.toLocal8Bit();
    const QByteArray baselinePath = baseline.toLocal8Bit();
    StartupComparison measured;
    for (int i = 0; i < runs; ++i) {
        const auto programRun = RunOnce(programPath);
        const auto baselineRun = RunOnce(baselinePath);
        if (programRun && baselineRun) {
            measured.program.push_back(*programRun);
            measured.baseline.push_back(*baselineRun);
        }
    }
    return measured;
}

} // namespace bench
