// The end of a program that ran threads of its own, once its objects are gone.
#pragma once

namespace platform {

// Returns `status` for main to return, except on Windows, where the process ends here with
// it: the MinGW thread library can lose count of its key lock as threads end (seen under
// Wine with a line's slots stopping together), and the C++ library's unloading then waits for
// that lock for ever. Nothing of ours is left to tear down by then, so the process skips the
// libraries' unloading.
int EndProcess(int status);

} // namespace platform
