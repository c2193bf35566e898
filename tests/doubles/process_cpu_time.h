// The CPU time this process has used so far, user and system together: where a loop
// that spins instead of waiting shows.
#pragma once

#include <chrono>

#include <sys/resource.h>

namespace doubles {

inline std::chrono::microseconds ProcessCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

} // namespace doubles
