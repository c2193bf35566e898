#include "process_end.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

int EndProcess(int status) {
#ifdef _WIN32
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
    return status;
}

} // namespace platform
