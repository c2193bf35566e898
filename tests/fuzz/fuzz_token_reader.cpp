// libFuzzer entry: any byte stream, cut into any reads, must leave the reader and the
// reference model in agreement.
#include "token_reader_harness.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString failure = fuzz::CompareWithModel(data, size);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "reader and model differ: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
