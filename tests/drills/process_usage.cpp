#include "process_usage.h"

#include <QFile>
#include <QList>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

namespace drills {
namespace {

constexpr std::chrono::milliseconds kEventSlice{10};

std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    // "size resident shared ...", in pages.
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

TimeUsed RunEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto cpuBefore = ProcessCpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    while (!condition() && std::chrono::steady_clock::now() - wallBefore < timeout)
        QTest::qWait(static_cast<int>(kEventSlice.count()));
    return {ProcessCpuTime() - cpuBefore, std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - wallBefore)};
}

} // namespace drills
