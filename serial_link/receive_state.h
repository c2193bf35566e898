// The receive state shared by every reader of the port: text read but not yet
// scanned, and the token being gathered.
#pragma once

#include <QByteArray>

namespace modComm {

// Memory stays bounded when a device floods the line. Replies of this protocol are a
// few hundred characters at most; 64 KiB is over a minute of line time at 9600 baud.
inline constexpr qsizetype kMaxUnscannedBytes = 64 * 1024;
// No token of the protocol comes near this; characters past it are dropped.
inline constexpr qsizetype kMaxTokenLength = 4 * 1024;

struct ReceiveState {
    // Text read from the port; everything before RxStart has been scanned already.
    // Consumed text is cut off in bulk, not per token, so draining stays linear.
    QByteArray RxBuffer;
    qsizetype RxStart = 0;
    QByteArray TokenText;
    bool InToken = false;

    qsizetype unscannedSize() const { return RxBuffer.size() - RxStart; }
};

} // namespace modComm
