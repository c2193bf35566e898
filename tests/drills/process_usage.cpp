#include "process_usage.h"

#include "process_cpu_time.h"

#include <QTest>

#include <cstddef>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORDELO_ASAN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORDELO_ASAN_ALLOCATOR 1
#endif
#endif
#ifdef CORDELO_ASAN_ALLOCATOR
// The sanitizer runtime exports it; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace drills {
namespace {

constexpr std::chrono::milliseconds kEventSlice{10};

} // namespace

qint64 LiveHeapBytes() {
#ifdef CORDELO_ASAN_ALLOCATOR
    // The sanitizer replaces the allocator, and the C library's figures with it.
    return static_cast<qint64>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 heap = ::mallinfo2();
    return static_cast<qint64>(heap.uordblks + heap.hblkhd);
#endif
}

TimeUsed RunEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto cpuBefore = doubles::ProcessCpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    while (!condition() && std::chrono::steady_clock::now() - wallBefore < timeout)
        QTest::qWait(static_cast<int>(kEventSlice.count()));
    return {doubles::ProcessCpuTime() - cpuBefore,
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  wallBefore)};
}

} // namespace drills
