#include "listing_cost.h"

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {
namespace {

constexpr std::size_t kReadBlock = 1 << 16;

std::optional<ListingRun> ListOnce(const QByteArray& program, const QList<QByteArray>& arguments,
                                   int headerLines) {
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return std::nullopt;
    }
    ListingRun run;
    std::vector<char> block(kReadBlock);
    bool first = false;
    while (true) {
        const ssize_t got = read(pipeEnds[0], block.data(), block.size());
        if (got <= 0)
            break;
        run.lines += std::count(block.data(), block.data() + got, '\n');
        if (!first && run.lines > headerLines) {
            first = true;
            run.firstRow = std::chrono::steady_clock::now() - start;
        }
    }
    close(pipeEnds[0]);
    // wait4 gives this child's own peak memory, apart from every other child's.
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0 || !first)
        return std::nullopt;
    run.total = std::chrono::steady_clock::now() - start;
    run.peakKiB = usage.ru_maxrss;
    return run;
}

} // namespace

std::optional<ListingRun> MeasureListing(const QString& directory, const QString& target,
                                         const QStringList& options, int headerLines, int runs) {
    const QByteArray program = (directory + QStringLiteral("/cordelo-cli")).toLocal8Bit();
    QList<QByteArray> arguments{QByteArrayLiteral("record"), target.toLocal8Bit()};
    for (const QString& option : options)
        arguments << option.toLocal8Bit();
    std::vector<ListingRun> measured;
    for (int run = 0; run < runs; ++run) {
        const auto once = ListOnce(program, arguments, headerLines);
        if (!once)
            return std::nullopt;
        measured.push_back(*once);
    }
    std::sort(measured.begin(), measured.end(),
              [](const ListingRun& a, const ListingRun& b) { return a.total < b.total; });
    return measured[measured.size() / 2];
}

} // namespace bench
