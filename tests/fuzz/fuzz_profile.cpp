// libFuzzer entry: any bytes, read as a profile file and as a profile's values, must be
// read without fault, and whatever the writer makes of them must read back the same.
#include "profile_harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString failure = fuzz::CheckProfileRoundTrip(data, size);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "profile round trip failed: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
