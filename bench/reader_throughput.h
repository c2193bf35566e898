// How fast ReadToken drains a large input, against a plain memchr scan of the same bytes.
#pragma once

#include <QByteArray>

#include <chrono>

namespace bench {

struct ReaderThroughput {
    std::chrono::nanoseconds readerTime{};
    std::chrono::nanoseconds memchrTime{};
    qsizetype tokens = 0;
};

// Mixed input: tokens of the protocol, noise between them, and now and then a token
// split by the read boundary.
QByteArray MixedInput(qsizetype bytes);

ReaderThroughput MeasureReader(const QByteArray& input);

} // namespace bench
